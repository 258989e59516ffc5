#include "sim_launcher.h"

#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace simtest {

namespace {

bool WriteProcFile(const char* path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

bool LoopbackUp(std::string& why)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (ok) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        ok = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    if (!ok)
        why = std::string("cannot bring lo up: ") + std::strerror(errno);
    close(fd);
    return ok;
}

} // namespace

bool EnterPrivateNetwork(std::string& why)
{
    static bool entered = false;
    if (entered)
        return true;
    if (unshare(CLONE_NEWNET) != 0) {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            why = std::string("no private network namespace: ") + std::strerror(errno);
            return false;
        }
        WriteProcFile("/proc/self/setgroups", "deny");
        WriteProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n");
        WriteProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n");
    }
    if (!LoopbackUp(why))
        return false;
    entered = true;
    return true;
}

std::unique_ptr<SimProcess> SimProcess::Start(const std::string& network, std::string& error)
{
    std::unique_ptr<SimProcess> process(new SimProcess());
    const auto file = process->folder_.WriteFile("network.net", network);
    const std::string ready = (process->folder_.Path() / "ready").string();
    const std::string stats = (process->folder_.Path() / "stats.json").string();
    const std::string errors = (process->folder_.Path() / "stderr.txt").string();
    const std::string log = (process->folder_.Path() / "requests.log").string();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        close(out[0]);
        close(out[1]);
        return nullptr;
    }
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0)
            dup2(err, STDERR_FILENO);
        execl(TRAWLIX_SIM_PATH, "trawlix-sim", "--ready-file", ready.c_str(), "--stats", stats.c_str(), "--log",
              log.c_str(), file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    process->pid_ = pid;
    // The simulator writes its ready line after the ready file; end of file means it gave up.
    std::string line;
    char byte = 0;
    ssize_t got = 0;
    pollfd wait{out[0], POLLIN, 0};
    while (poll(&wait, 1, 30000) > 0 && (got = read(out[0], &byte, 1)) == 1 && byte != '\n')
        line += byte;
    close(out[0]);
    if (line.find("ready") == std::string::npos) {
        int status = -1;
        if (got == 0) {
            // It closed its output: it has ended by itself.
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            process->pid_ = -1;
            status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else {
            status = process->Stop();
        }
        error = "trawlix-sim exited with status " + std::to_string(status) + ": " +
                testsupport::TempFolder::ReadFile(errors);
        return nullptr;
    }
    process->listeners_ = testsupport::TempFolder::ReadFile(ready);
    return process;
}

SimProcess::~SimProcess()
{
    Stop();
}

int SimProcess::Stop()
{
    if (pid_ < 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SimProcess::StatsAfterStop() const
{
    return testsupport::TempFolder::ReadFile(folder_.Path() / "stats.json");
}

std::string SimProcess::LogAfterStop() const
{
    return testsupport::TempFolder::ReadFile(folder_.Path() / "requests.log");
}

} // namespace simtest
