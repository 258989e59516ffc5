#include "scan/record/probe_failure.h"

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

ProbeFailure CombineProbeFailures(const ProbeFailure& legacy, const ProbeFailure& api, int apiPort)
{
    const std::string apiPortText = std::to_string(apiPort);
    if (legacy.kind == ProbeFailureKind::None && api.kind == ProbeFailureKind::None)
        return {};
    if (legacy.kind == api.kind &&
        (legacy.kind == ProbeFailureKind::Silent || legacy.kind == ProbeFailureKind::Refused)) {
        const std::string ports = apiPort == 80 ? "port 80" : "ports 80 and " + apiPortText;
        return {legacy.kind,
                (legacy.kind == ProbeFailureKind::Refused ? "connection refused on " : "no answer on ") + ports};
    }
    ProbeFailure combined;
    if (!OnlyNetwork(api.kind))
        combined.kind = api.kind;
    else if (!OnlyNetwork(legacy.kind))
        combined.kind = legacy.kind;
    else if (legacy.kind == ProbeFailureKind::Refused || api.kind == ProbeFailureKind::Refused)
        combined.kind = ProbeFailureKind::Refused;
    else
        combined.kind = ProbeFailureKind::Silent;
    if (legacy.kind != ProbeFailureKind::None)
        combined.detail = "port 80: " + legacy.detail;
    if (api.kind != ProbeFailureKind::None) {
        if (!combined.detail.empty())
            combined.detail += "; ";
        combined.detail += "LX400 on port " + apiPortText + ": " + api.detail;
    }
    return combined;
}
