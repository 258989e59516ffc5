#pragma once

#include "scan/network_list.h"
#include "scan/record/record_format.h"
#include "scan/search.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What a run of trawlix-scan was asked to do, from its command line and environment. The search's
// defaults are the core's (scan::SearchPlan, scan::Login).
struct ScanOptions
{
    using Format = RecordFormat;
    enum class Language { FromLocale, English, German };

    // The command line's in the order given, then those of the networks files in theirs.
    std::vector<scan::Ipv4Network> networks;
    // --networks-file FILE (repeatable): files whose networks are searched as well.
    std::vector<std::string> networksFiles;
    // --exclude NET (repeatable): no address of these is ever contacted, the factory address
    // included.
    std::vector<scan::Ipv4Network> excluded;
    int firstHost = 1; // within each /24
    int lastHost = 254;
    bool scanRange = true;
    bool scanDefaultAddress = true;
    scan::Login login;
    std::string updateServer; // empty: the vendor's own host
    // --vendor-cache-hours H: the vendor's answers kept on disk for H hours; 0 keeps none.
    int vendorCacheHours = 0;
    int jobs = scan::SearchPlan{}.jobs;
    Format format = Format::Table;
    Language language = Language::FromLocale;
    bool progress = true;
    // Knock on every address before probing it (--no-discovery probes every address directly).
    bool discovery = true;
    // After the list: why each searched address without a row is not listed (standard error).
    bool explain = false;
    // --flash-tool [DIR]: report the flashing tool of DIR (default: the folder of trawlix.ini)
    // instead of searching.
    bool flashTool = false;
    std::string flashToolDir;
    // --compare FILE: an earlier --format json result to compare the search with.
    std::string compareFile;
    // --output FILE: the result written to FILE (beside it, then renamed into place) instead of
    // standard output.
    std::string outputFile;
    // --check: a monitoring plugin's status line on standard output, and its exit status.
    bool check = false;
    bool showVersion = false;
    bool showHelp = false;

    // The networks to search with --first to --last within each /24 of each network, the
    // excluded ones taken out.
    [[nodiscard]] scan::NetworkList Networks() const;
    // The search these options ask for; the probes are the caller's.
    [[nodiscard]] scan::SearchPlan Plan() const;
};

// The outcome of parsing: options, or a one-line reason for exit status 2.
struct ParseResult
{
    std::optional<ScanOptions> options;
    std::string error;
};

// Reads the password file's first line (without its line end); nullopt when it cannot be read.
using PasswordFileReader = std::optional<std::string> (*)(const std::string& path);

// Reads a whole text file (a networks file); nullopt with a reason when it cannot be read.
using TextFileReader = std::optional<std::string> (*)(const std::string& path, std::string* reason);

// The file, when it is at most kMaxTextFileBytes long; else nullopt with the reason.
[[nodiscard]] std::optional<std::string> ReadTextFile(const std::string& path, std::string* reason);
inline constexpr std::size_t kMaxTextFileBytes = 1024 * 1024;

// Parses argv[1..]. `envPassword` is TRAWLIX_PASSWORD when set; a password file wins over it.
[[nodiscard]] ParseResult ParseScanOptions(const std::vector<std::string>& args, const char* envPassword,
                                           PasswordFileReader readPasswordFile,
                                           TextFileReader readTextFile = &ReadTextFile);

// Whether `args` ask for the monitoring plugin (--check before any "--"), also when they cannot
// be parsed: then the usage error, too, is the plugin's UNKNOWN.
[[nodiscard]] bool AsksForCheck(const std::vector<std::string>& args);

[[nodiscard]] std::optional<std::string> ReadFirstLine(const std::string& path);

// The text of --help.
[[nodiscard]] std::string UsageText();
