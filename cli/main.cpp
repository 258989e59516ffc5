// trawlix-scan: searches a network for adapters from a terminal and prints what it found.
#include "app/host_route.h"
#include "app/open_file_limit.h"
#include "app/settings_location.h"
#include "app/trace_config_file.h"
#include "cli/compare.h"
#include "cli/options.h"
#include "cli/output.h"
#include "firmware/flash_tool.h"
#include "net/http_client.h"
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "scan/search.h"
#include "support/text/paths.h"
#include "support/text/system.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The signal that interrupted the search (SIGINT or SIGTERM); 0 while none came.
std::atomic<int> g_interrupted{0};

extern "C" void OnInterrupt(int signal)
{
    g_interrupted.store(signal);
}

// What the search delivered: the adapters found, the addresses without one (for --explain), the
// progress bar on a terminal, and whether the search has ended.
class SearchResults final
{
public:
    SearchResults(const ScanOptions& options, int total)
        : options_(options), total_(total), progress_(options.progress && isatty(STDERR_FILENO) == 1)
    {}

    // The search's sink.
    void Take(const DeviceRecord& record)
    {
        std::lock_guard lock(mutex_);
        if (record.endOfSearch) {
            ended_ = true;
        } else {
            ++delivered_;
            if (record.found)
                found_.push_back(record);
            else if (options_.explain)
                missing_.push_back(record);
            DrawProgress(record.ip);
        }
        changed_.notify_all();
    }

    // Waits for the end of the search or an interrupt; true when the search ended by itself.
    bool WaitForEnd()
    {
        std::unique_lock lock(mutex_);
        while (!ended_) {
            if (g_interrupted.load() != 0)
                return false;
            // Signals cannot notify a condition variable; a short tick notices them.
            changed_.wait_for(lock, std::chrono::milliseconds(20));
        }
        return true;
    }

    std::vector<DeviceRecord> Found() const
    {
        std::lock_guard lock(mutex_);
        return found_;
    }

    // Hands over the addresses without a row once the search is over: a /16 leaves tens of
    // thousands, not worth a copy.
    std::vector<DeviceRecord> TakeMissing()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(missing_, {});
    }

    void ClearProgress() const
    {
        if (progress_) {
            std::fputs("\r\x1B[K", stderr);
            std::fflush(stderr);
        }
    }

private:
    void DrawProgress(const std::string& address) const
    {
        if (!progress_ || total_ <= 0)
            return;
        constexpr int kWidth = 30;
        const int done = delivered_ > total_ ? total_ : delivered_;
        const int filled = done * kWidth / total_;
        std::fprintf(stderr, "\r[%s%s] %3d/%d  %zu found  %-15s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '.').c_str(), done, total_, found_.size(), address.c_str());
        std::fflush(stderr);
    }

    const ScanOptions& options_;
    const int total_;
    const bool progress_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DeviceRecord> found_;
    std::vector<DeviceRecord> missing_;
    int delivered_ = 0;
    bool ended_ = false;
};

// Checks a tool folder before a site visit: which flashing tool it holds and what firmware.
int ReportFlashTool(const ScanOptions& options)
{
    // By default the folder the desktop program looks in: beside trawlix.ini, which for an
    // installed program is a per-user folder that may not exist yet (then it holds no tool).
    const bool named = !options.flashToolDir.empty();
    const std::string folder = named ? options.flashToolDir : FlashToolFolder(SystemSettingsEnvironment());
    std::error_code ec;
    if (named && !std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "trawlix-scan: %s is not a folder\n", folder.c_str());
        return 1;
    }
    FlashToolState state;
    state.flashToolPath = FindFlashToolIn(folder);
    state.flashToolFound = !state.flashToolPath.empty();
    FlashToolReport report;
    report.folder = folder;
    report.path = state.flashToolPath;
    report.oem = FlashToolOem(state);
    if (state.flashToolFound) {
        for (const AdapterTypeEntry& type : ListAdapterTypes(DirectoryOf(state.flashToolPath)))
            report.adapterTypes.push_back({type.deviceId, type.section, type.localVersion});
    }
    return WriteOutput(FormatFlashToolReport(report, options.format), stdout, stderr);
}

} // namespace

int main(int argc, char** argv)
{
    // The diagnostic trace reads the machine's configuration file at its first report.
    XDbgSetConfigSource(app::TraceConfigFile());
    // A wide search knocks on thousands of addresses at once, each connect a descriptor.
    app::RaiseOpenFileLimit();
    // A reader that went away shows as a failed write (EPIPE), which ends the program quietly.
    signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseScanOptions(args, std::getenv("TRAWLIX_PASSWORD"), &ReadFirstLine);
    if (!parsed.options) {
        std::fprintf(stderr, "trawlix-scan: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    const ScanOptions& options = *parsed.options;
    if (options.showHelp)
        return WriteOutput(UsageText(), stdout, stderr);
    if (options.showVersion)
        return WriteOutput("trawlix-scan " TRAWLIX_VERSION "\n", stdout, stderr);

    if (options.flashTool)
        return ReportFlashTool(options);

    switch (options.language) {
    case ScanOptions::Language::English:
        trawlix::SetLanguage(trawlix::Language::English);
        break;
    case ScanOptions::Language::German:
        trawlix::SetLanguage(trawlix::Language::German);
        break;
    case ScanOptions::Language::FromLocale:
        trawlix::SetLanguage(trawlix::LanguageFromEnvironment());
        break;
    }

    // The earlier result is read before anything is searched: a wrong file costs no search.
    std::optional<std::vector<DeviceRecord>> earlier;
    if (!options.compareFile.empty()) {
        InventoryReadResult read = ReadInventoryFile(options.compareFile);
        if (!read.devices) {
            std::fprintf(stderr, "trawlix-scan: %s\n", TerminalText(read.error).c_str());
            return 2;
        }
        earlier = std::move(read.devices);
    }

    net::HttpGlobalInit();
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    ProbeConfig probeConfig;
    if (!options.updateServer.empty())
        probeConfig.updateServer = options.updateServer;

    scan::SearchPlan plan = options.Plan();
    plan.probes = MakeJobProbes(probeConfig);
    SearchResults results(options, static_cast<int>(scan::AddressCount(plan)));

    bool completed = false;
    {
        scan::Search search([&results](const DeviceRecord& record) { results.Take(record); });
        if (!search.Start(plan)) {
            std::fputs("trawlix-scan: the search could not be started\n", stderr);
            return 1;
        }
        completed = results.WaitForEnd();
        // After an interrupt the Stop button's way: no new jobs, every running probe told to give
        // up, then wait; after the end it only waits for the threads.
        search.Stop();
    }
    results.ClearProgress();
    const std::vector<DeviceRecord> found = results.Found();
    // The reasons follow the list on standard error, also after an interrupted search.
    auto explain = [&] {
        if (!options.explain)
            return;
        std::vector<DeviceRecord> missing = results.TakeMissing();
        if (plan.scanDefaultAddress) {
            const FactoryRouteState route = CheckFactoryRoute();
            if (!route.present)
                ExplainMissingFactoryRoute(missing, FactoryRouteAdvice(route));
        }
        std::fputs(FormatExplanation(std::move(missing), options.format).c_str(), stderr);
    };
    if (!completed) {
        // What was found so far is printed; an unfinished search is not compared, as every
        // adapter not reached yet would count as gone.
        if (earlier)
            std::fputs("trawlix-scan: search interrupted, nothing compared\n", stderr);
        const int status = WriteOutput(FormatDeviceList(found, options.format), stdout, stderr);
        explain();
        return status != 0 ? status : 128 + g_interrupted.load();
    }
    if (!earlier) {
        const int status = WriteOutput(FormatDeviceList(found, options.format), stdout, stderr);
        explain();
        return status;
    }
    const InventoryDiff diff = CompareInventory(*earlier, found);
    const int status = WriteOutput(FormatComparison(found, diff, options.format, options.compareFile), stdout, stderr);
    explain();
    return status != 0 ? status : diff.Empty() ? 0 : 3;
}
