#pragma once

#include "scan/network_list.h"
#include "scan/record/record_format.h"
#include "scan/search.h"

#include <optional>
#include <string>
#include <vector>

// What a run of trawlix-scan was asked to do, from its command line and environment. The search's
// defaults are the core's (scan::SearchPlan, scan::Login).
struct ScanOptions
{
    using Format = RecordFormat;
    enum class Language { FromLocale, English, German };

    std::vector<scan::Ipv4Network> networks; // in the order given
    int firstHost = 1;                       // within each /24
    int lastHost = 254;
    bool scanRange = true;
    bool scanDefaultAddress = true;
    scan::Login login;
    std::string updateServer; // empty: the vendor's own host
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
    bool showVersion = false;
    bool showHelp = false;

    // The networks to search with --first to --last within each /24 of each network.
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

// Parses argv[1..]. `envPassword` is TRAWLIX_PASSWORD when set; a password file wins over it.
[[nodiscard]] ParseResult ParseScanOptions(const std::vector<std::string>& args, const char* envPassword,
                                           PasswordFileReader readPasswordFile);

[[nodiscard]] std::optional<std::string> ReadFirstLine(const std::string& path);

// The text of --help.
[[nodiscard]] std::string UsageText();
