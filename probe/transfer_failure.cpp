#include "probe/transfer_failure.h"

namespace {

std::string Seconds(long seconds)
{
    return std::to_string(seconds) + " s";
}

} // namespace

std::string TlsReason(const std::string& message)
{
    const auto cut = message.rfind("::");
    std::string reason = cut == std::string::npos ? message : message.substr(cut + 2);
    while (!reason.empty() && (reason.back() == ' ' || reason.back() == '\n'))
        reason.pop_back();
    return reason.empty() ? message : reason;
}

ProbeFailure TransferFailure(const TransferReport& report)
{
    using net::HttpFailure;
    const net::HttpLimits limits;
    ProbeFailure why;
    switch (report.failure) {
    case HttpFailure::None:
        return why;
    case HttpFailure::Refused:
        why = {ProbeFailureKind::Refused, "connection refused"};
        break;
    case HttpFailure::Unreachable:
        why = {ProbeFailureKind::Silent, "no route to the address"};
        break;
    case HttpFailure::ConnectTimeout:
        why = {ProbeFailureKind::Silent, "no answer within " + Seconds(limits.connectTimeoutMs / 1000)};
        break;
    case HttpFailure::Unresolved:
        why = {ProbeFailureKind::Broken, "host name not found"};
        break;
    case HttpFailure::HandshakeTimeout:
        why = {ProbeFailureKind::TlsFailed,
               "no answer to the TLS handshake within " + Seconds(limits.connectTimeoutMs / 1000)};
        break;
    case HttpFailure::TlsHandshake:
        why = {ProbeFailureKind::TlsFailed, "TLS handshake failed: " + TlsReason(report.failureText)};
        break;
    case HttpFailure::Stalled:
        why = {ProbeFailureKind::Stalled, "the answer stalled (nothing for " + Seconds(limits.stallSeconds) + ")"};
        break;
    case HttpFailure::TimedOut:
        why = {ProbeFailureKind::TimedOut, "the answer took longer than " + Seconds(limits.totalSeconds)};
        break;
    case HttpFailure::TooLarge:
        why = {ProbeFailureKind::TooLarge,
               "the answer is larger than " + std::to_string(limits.maxBodyBytes / (1024 * 1024)) + " MiB"};
        break;
    case HttpFailure::RedirectElsewhere:
        why = {ProbeFailureKind::RedirectRefused, "redirect to another host refused (" + report.failureText + ")"};
        break;
    case HttpFailure::TooManyRedirects:
        why = {ProbeFailureKind::TooManyRedirects, "too many redirects (the last to " + report.failureText + ")"};
        break;
    case HttpFailure::Broken:
        why = {ProbeFailureKind::Broken, "the transfer broke off: " + report.failureText};
        break;
    case HttpFailure::Stopped:
        why = {ProbeFailureKind::Stopped, "the search was stopped"};
        break;
    }
    // A failure after a redirect happened at the place the redirect led to.
    if (report.url != report.requestedUrl && report.failure != HttpFailure::RedirectElsewhere &&
        report.failure != HttpFailure::TooManyRedirects)
        why.detail += " (after a redirect to " + report.url + ")";
    return why;
}

ProbeFailure KnockFailure(net::PortAnswer answer)
{
    TransferReport report;
    switch (answer) {
    case net::PortAnswer::Refused:
        report.failure = net::HttpFailure::Refused;
        break;
    case net::PortAnswer::Silent:
        report.failure = net::HttpFailure::ConnectTimeout;
        break;
    case net::PortAnswer::Open:
    case net::PortAnswer::Unknown:
        break;
    }
    return TransferFailure(report);
}
