#include "testsupport/child_process.h"

#include "testsupport/temp_folder.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {
namespace {

std::string UniqueOutputPath(const char* kind)
{
    static int counter = 0;
    return "/tmp/trawlix-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "." + kind;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& environment)
    : outPath_(UniqueOutputPath("out")), errPath_(UniqueOutputPath("err"))
{
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStore)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e)
        envStore.emplace_back(*e);
    envStore.insert(envStore.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& entry : envStore)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::unlink(outPath_.c_str());
    ::unlink(errPath_.c_str());
}

void ChildProcess::Signal(int signal) const
{
    if (pid_ > 0)
        ::kill(pid_, signal);
}

bool ChildProcess::WaitUntilCatching(int signal, std::chrono::milliseconds limit) const
{
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("SigCgt:", 0) == 0 &&
                (std::stoull(line.substr(7), nullptr, 16) & (1ull << (signal - 1))) != 0)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

bool ChildProcess::Wait(std::chrono::milliseconds limit)
{
    if (pid_ <= 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t done = ::wait4(pid_, &status, WNOHANG, &usage);
        if (done == pid_) {
            pid_ = -1;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            maxRssKiB_ = usage.ru_maxrss;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Output().find(text) != std::string::npos)
            return true;
        if (pid_ <= 0 || Wait(std::chrono::milliseconds(0)))
            return Output().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string ChildProcess::Output() const
{
    return TempFolder::ReadFile(outPath_);
}

std::string ChildProcess::Errors() const
{
    return TempFolder::ReadFile(errPath_);
}

} // namespace testsupport
