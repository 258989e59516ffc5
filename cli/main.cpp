// trawlix-scan: searches a network for adapters from a terminal and prints what it found.
#include "app/host_route.h"
#include "app/open_file_limit.h"
#include "app/settings_location.h"
#include "app/trace_config_file.h"
#include "cli/check_status.h"
#include "cli/compare.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/output_file.h"
#include "cli/prometheus_output.h"
#include "firmware/flash_tool.h"
#include "firmware/vendor_cache.h"
#include "net/http_client.h"
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "scan/record/display_text.h"
#include "scan/search.h"
#include "support/text/ipv4.h"
#include "support/text/paths.h"
#include "support/text/system.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
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
    const std::string text = FormatFlashToolReport(report, options.format);
    return options.outputFile.empty() ? WriteOutput(text, stdout, stderr)
                                      : WriteOutputFile(options.outputFile, text, stderr);
}

// A usage error as the run reports it: the plugin's UNKNOWN with --check, else one line on
// standard error and status 2.
int UsageError(bool check, const std::string& reason, const char* hint = " (see --help)")
{
    if (check) {
        const CheckResult result = CheckCannotRun(reason);
        return WriteOutput(result.line, stdout, stderr) == 0 ? result.ExitCode() : 3;
    }
    std::fprintf(stderr, "trawlix-scan: %s%s\n", reason.c_str(), hint);
    return 2;
}

// The vendor's answers kept on disk for --vendor-cache-hours, in the user's cache folder.
std::shared_ptr<const VendorCache> VendorCacheOf(const ScanOptions& options)
{
    if (options.vendorCacheHours <= 0)
        return nullptr;
    const auto folder = VendorCacheFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    if (!folder) {
        std::fputs("trawlix-scan: neither XDG_CACHE_HOME nor HOME names a cache folder: the vendor's answers are "
                   "kept for this search only\n",
                   stderr);
        return nullptr;
    }
    return std::make_shared<VendorCache>(*folder, std::chrono::hours(options.vendorCacheHours));
}

// What a search left for the outputs.
struct SearchOutcome
{
    bool started = false;
    SearchSummary summary;
    std::vector<DeviceRecord> found;
    int signal = 0; // the signal that interrupted it, 0 when none did
};

// The result of a search as text, or nothing when nothing is to be written: a search that did
// not run to its end is not compared, as every adapter not reached yet would count as gone; what
// it found so far goes to standard output, while a file keeps the previous result (the Prometheus
// text its adapters, with the search's failure said).
std::optional<std::string> ResultText(const ScanOptions& options, const SearchOutcome& run,
                                      const std::optional<InventoryDiff>& diff)
{
    const bool prometheus = options.format == ScanOptions::Format::Prometheus;
    if (run.summary.completed) {
        if (diff)
            return FormatComparison(run.found, *diff, options.format, options.compareFile);
        return prometheus ? FormatPrometheus(run.found, run.summary) : FormatDeviceList(run.found, options.format);
    }
    if (!options.outputFile.empty())
        return prometheus
                   ? std::optional(FormatPrometheusAfterFailure(ReadPreviousOutput(options.outputFile), run.summary))
                   : std::nullopt;
    if (!run.started || options.check)
        return std::nullopt;
    return prometheus ? FormatPrometheus(run.found, run.summary) : FormatDeviceList(run.found, options.format);
}

// Writes the result where it goes and, with --check, the status line; returns the exit status.
int Deliver(const ScanOptions& options, const SearchOutcome& run,
            const std::optional<std::vector<DeviceRecord>>& earlier, const std::function<void()>& explain)
{
    std::optional<InventoryDiff> diff;
    if (run.summary.completed && earlier)
        diff = CompareInventory(*earlier, run.found);
    if (!run.summary.completed && run.started && earlier && !options.check)
        std::fputs("trawlix-scan: search interrupted, nothing compared\n", stderr);

    int status = 0;
    std::string writeError;
    if (const std::optional<std::string> text = ResultText(options, run, diff)) {
        if (!options.outputFile.empty()) {
            writeError = ReplaceOutputFile(options.outputFile, *text);
            if (!writeError.empty() && !options.check)
                std::fprintf(stderr, "trawlix-scan: %s\n", writeError.c_str());
            status = writeError.empty() ? 0 : 1;
        } else if (!options.check) {
            status = WriteOutput(*text, stdout, stderr);
        }
    } else if (run.started && !options.outputFile.empty() && !options.check) {
        std::fprintf(stderr, "trawlix-scan: search interrupted, %s left as it was\n",
                     TerminalText(PlainTextAsUtf8(options.outputFile)).c_str());
    }
    explain();

    if (options.check) {
        CheckResult result;
        if (!run.started)
            result = CheckCannotRun("the search could not be started");
        else if (!writeError.empty())
            result = CheckCannotRun(writeError);
        else
            result = CheckSearch(
                run.found, run.summary,
                diff ? std::optional(ChangeCounts{diff->added.size(), diff->gone.size(), diff->changed.size()})
                     : std::nullopt);
        return WriteOutput(result.line, stdout, stderr) == 0 ? result.ExitCode() : 3;
    }
    if (!run.started || status != 0)
        return 1;
    if (!run.summary.completed)
        return 128 + run.signal;
    return diff && !diff->Empty() ? 3 : 0;
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
    if (!parsed.options)
        return UsageError(AsksForCheck(args), parsed.error);
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

    // The timer's time-out and a shutdown send SIGTERM: the search stops as by the Stop button
    // (or does not start) and its outputs say that it did not run to its end.
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // The earlier result is read before anything is searched: a wrong file costs no search.
    std::optional<std::vector<DeviceRecord>> earlier;
    if (!options.compareFile.empty()) {
        InventoryReadResult read = ReadInventoryFile(options.compareFile);
        if (!read.devices)
            return UsageError(options.check, TerminalText(read.error), "");
        earlier = std::move(read.devices);
    }

    net::HttpGlobalInit();

    ProbeConfig probeConfig;
    if (!options.updateServer.empty())
        probeConfig.updateServer = options.updateServer;

    scan::SearchPlan plan = options.Plan();
    // An earlier adapter at an address left out was not looked for, so it is not gone.
    if (earlier) {
        std::erase_if(*earlier, [&plan](const DeviceRecord& record) {
            const auto address = Ipv4Address::Parse(record.ip);
            return address && plan.networks.Excludes(*address);
        });
    }
    // The vendor's answers are shared by this search's update checks, and kept on disk when asked.
    plan.probes = MakeSearchProbes(probeConfig, VendorCacheOf(options))();
    SearchOutcome run;
    run.summary.addresses = scan::AddressCount(plan);
    SearchResults results(options, static_cast<int>(run.summary.addresses));

    const auto start = std::chrono::steady_clock::now();
    {
        scan::Search search([&results](const DeviceRecord& record) { results.Take(record); });
        run.started = search.Start(plan);
        if (!run.started) {
            std::fputs("trawlix-scan: the search could not be started\n", stderr);
        } else {
            run.summary.completed = results.WaitForEnd();
            // After an interrupt the Stop button's way: no new jobs, every running probe told to
            // give up, then wait; after the end it only waits for the threads.
            search.Stop();
        }
    }
    run.summary.durationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.summary.finishedAt = static_cast<std::int64_t>(std::time(nullptr));
    run.signal = run.summary.completed ? 0 : g_interrupted.load();
    results.ClearProgress();
    run.found = results.Found();

    // The reasons follow the result on standard error, also after an interrupted search.
    auto explain = [&] {
        if (!options.explain || !run.started)
            return;
        std::vector<DeviceRecord> missing = results.TakeMissing();
        if (plan.scanDefaultAddress && !plan.networks.Excludes(scan::kFactoryAddress)) {
            const FactoryRouteState route = CheckFactoryRoute();
            if (!route.present)
                ExplainMissingFactoryRoute(missing, FactoryRouteAdvice(route));
        }
        std::fputs(FormatExplanation(std::move(missing), options.format).c_str(), stderr);
    };
    return Deliver(options, run, earlier, explain);
}
