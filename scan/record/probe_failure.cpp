#include "scan/record/probe_failure.h"

#include <algorithm>

namespace {

bool OnlyNetwork(ProbeFailureKind kind)
{
    return kind == ProbeFailureKind::None || kind == ProbeFailureKind::Silent || kind == ProbeFailureKind::Refused;
}

} // namespace

const char* ProbeFailureKey(ProbeFailureKind kind)
{
    switch (kind) {
    case ProbeFailureKind::None:
        return "";
    case ProbeFailureKind::Silent:
        return "silent";
    case ProbeFailureKind::NoRoute:
        return "no-route";
    case ProbeFailureKind::Refused:
        return "refused";
    case ProbeFailureKind::TlsFailed:
        return "tls-failed";
    case ProbeFailureKind::Stalled:
        return "stalled";
    case ProbeFailureKind::TimedOut:
        return "timed-out";
    case ProbeFailureKind::TooLarge:
        return "too-large";
    case ProbeFailureKind::RedirectRefused:
        return "redirect-refused";
    case ProbeFailureKind::TooManyRedirects:
        return "too-many-redirects";
    case ProbeFailureKind::Broken:
        return "broken";
    case ProbeFailureKind::PageNotFound:
        return "page-not-found";
    case ProbeFailureKind::NotAnAdapter:
        return "not-an-adapter";
    case ProbeFailureKind::LoginFailed:
        return "login-failed";
    case ProbeFailureKind::LoginRefused:
        return "login-refused";
    case ProbeFailureKind::ReadFailed:
        return "read-failed";
    case ProbeFailureKind::UnusableDocument:
        return "unusable-document";
    case ProbeFailureKind::Stopped:
        return "stopped";
    }
    return "";
}

ProbeFailure CombineProbeFailures(const std::vector<FamilyFailure>& failures)
{
    const bool none = std::all_of(failures.begin(), failures.end(),
                                  [](const FamilyFailure& f) { return f.failure.kind == ProbeFailureKind::None; });
    if (none)
        return {};
    const ProbeFailureKind first = failures.front().failure.kind;
    const bool shared = std::all_of(failures.begin(), failures.end(),
                                    [first](const FamilyFailure& f) { return f.failure.kind == first; });
    if (shared && (first == ProbeFailureKind::Silent || first == ProbeFailureKind::Refused)) {
        std::vector<int> ports;
        for (const FamilyFailure& f : failures) {
            if (std::find(ports.begin(), ports.end(), f.port) == ports.end())
                ports.push_back(f.port);
        }
        std::string named = ports.size() == 1 ? "port " : "ports ";
        for (std::size_t i = 0; i < ports.size(); ++i)
            named += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + std::to_string(ports[i]);
        return {first, (first == ProbeFailureKind::Refused ? "connection refused on " : "no answer on ") + named};
    }
    ProbeFailure combined;
    const auto furthest = std::find_if(failures.rbegin(), failures.rend(),
                                       [](const FamilyFailure& f) { return !OnlyNetwork(f.failure.kind); });
    if (furthest != failures.rend())
        combined.kind = furthest->failure.kind;
    else if (std::any_of(failures.begin(), failures.end(),
                         [](const FamilyFailure& f) { return f.failure.kind == ProbeFailureKind::Refused; }))
        combined.kind = ProbeFailureKind::Refused;
    else
        combined.kind = ProbeFailureKind::Silent;
    for (const FamilyFailure& f : failures) {
        if (f.failure.kind == ProbeFailureKind::None)
            continue;
        if (!combined.detail.empty())
            combined.detail += "; ";
        combined.detail +=
            (f.family.empty() ? "" : f.family + " on ") + "port " + std::to_string(f.port) + ": " + f.failure.detail;
    }
    return combined;
}
