// trawlix-sim: plays legacy and LX400 adapters, hostile hosts and the vendor's update server on
// given addresses, for the demo and the tests. Run it only on loopback or inside a private network
// namespace.
#include "sim/network_file.h"
#include "sim/simulator.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

const char* const kUsage =
    "Usage: trawlix-sim [--ready-file FILE] [--stats FILE] [--log FILE] NETWORK-FILE\n"
    "Serves the adapters, hostile hosts and vendor server that NETWORK-FILE describes (format: see\n"
    "sim/network_file.h and sim/networks/*.net). Adapters listen on their own address, on port 80\n"
    "(legacy, LX400 over http, hostile hosts), 443 (LX400 over https, with the TLS set-up the file\n"
    "names) or the port a moved page names; run it inside a private network namespace\n"
    "(unshare --net; ip link set lo up) or on 127.x addresses.\n"
    "  --ready-file FILE  written once every listener is bound (connections are accepted from then\n"
    "                     on): one line \"ADDRESS:PORT KIND\" per listener; written to FILE.tmp and\n"
    "                     renamed, so FILE appears complete\n"
    "  --stats FILE       written on SIGUSR1 and on exit (SIGTERM, SIGINT), the same way: JSON with the\n"
    "                     connections accepted, the peak of connections open at once and the requests\n"
    "                     per path, over all and per address. The vendor server also answers\n"
    "                     GET /__sim/stats with it (its own requests are not counted).\n"
    "  --log FILE         appends one line per answered request: ADDRESS METHOD TARGET STATUS\n"
    "                     (the silent and trickling hosts answer none)\n"
    "Exit status 0 after SIGTERM/SIGINT, 1 when a listener cannot be set up, 2 for wrong usage.\n";

// Replaces `path` in one step, so that a reader never sees a half-written file.
bool WriteWhole(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Connections of hostile clients cost descriptors; take what the hard limit allows.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string readyFile, statsFile, logFile, networkFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ((arg == "--ready-file" || arg == "--stats" || arg == "--log") && i + 1 < argc) {
            (arg == "--stats" ? statsFile : arg == "--log" ? logFile : readyFile) = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && networkFile.empty()) {
            networkFile = arg;
        } else {
            std::fprintf(stderr, "trawlix-sim: unexpected argument %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (networkFile.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string error;
    auto network = sim::ReadNetworkFile(networkFile, error);
    if (!network) {
        std::fprintf(stderr, "trawlix-sim: %s\n", error.c_str());
        return 2;
    }
    const std::size_t legacy = network->legacyLines;
    const std::size_t lx400 = network->lx400Lines;
    const std::size_t hostile = network->hostLines;
    const bool vendor = !network->vendorAddress.empty();

    // Every thread inherits this mask, so the signals arrive only at sigwait below. A client that
    // drops its connection must not end the simulator through SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    RaiseDescriptorLimit();

    sim::Simulator simulator(std::move(*network));
    if (!logFile.empty() && !simulator.OpenLog(logFile, error)) {
        std::fprintf(stderr, "trawlix-sim: %s\n", error.c_str());
        return 2;
    }
    if (!simulator.Bind(error)) {
        std::fprintf(stderr, "trawlix-sim: %s\n", error.c_str());
        return 1;
    }
    simulator.Start();
    if (!readyFile.empty()) {
        std::string lines;
        for (const auto& listener : simulator.Listeners())
            lines += listener + "\n";
        if (!WriteWhole(readyFile, lines))
            std::fprintf(stderr, "trawlix-sim: cannot write %s\n", readyFile.c_str());
    }
    std::printf("trawlix-sim: %zu legacy, %zu LX400, %zu misbehaving hosts%s ready\n", legacy, lx400, hostile,
                vendor ? " and the vendor server" : "");
    std::fflush(stdout);

    for (;;) {
        int signal = 0;
        sigwait(&signals, &signal);
        if (signal != SIGUSR1)
            break;
        if (!statsFile.empty() && !WriteWhole(statsFile, simulator.Counters().Json()))
            std::fprintf(stderr, "trawlix-sim: cannot write %s\n", statsFile.c_str());
    }
    simulator.Stop();
    if (!statsFile.empty() && !WriteWhole(statsFile, simulator.Counters().Json()))
        std::fprintf(stderr, "trawlix-sim: cannot write %s\n", statsFile.c_str());
    return 0;
}
