#pragma once

#include <string>
#include <vector>

// Why an address gave no device row. The probes report it for the address they tried, the job
// joins the reasons of its two probes into the one its record carries, and the front ends can
// tell a technician why an adapter is missing from the list.
enum class ProbeFailureKind {
    None,
    // The network: nothing answered, or nothing would talk.
    Silent,  // no answer at all (no connection within the time-out, no route)
    NoRoute, // the routing table has no direct route to the address (the factory address)
    Refused, // the connection was refused
    // The transfer: a connection was made, but no usable answer came over it.
    TlsFailed,        // the TLS handshake failed or got no answer
    Stalled,          // the answer stopped flowing
    TimedOut,         // the answer took longer than the transfer may take
    TooLarge,         // the answer was larger than any adapter's
    RedirectRefused,  // a redirect led to another host
    TooManyRedirects, // more redirects than are followed
    Broken,           // the connection broke off, or the answer was no HTTP
    // The answer: a web server answered, but not as an adapter does.
    PageNotFound,     // the status page said "file not found"
    NotAnAdapter,     // a page without the labels of an adapter's status page
    LoginFailed,      // the LX400 login answered another status than 200 or 401
    LoginRefused,     // the LX400 login answered 401 (such an adapter is listed, as "Access denied!")
    ReadFailed,       // an LX400 read answered another status than 200
    UnusableDocument, // an LX400 document did not parse or had the wrong shape
    Stopped           // the search was stopped
};

struct ProbeFailure
{
    ProbeFailureKind kind = ProbeFailureKind::None;
    // The reason in plain words, for people.
    std::string detail;

    bool operator==(const ProbeFailure&) const = default;
};

// A short stable word for the kind ("refused", "tls-failed", ...), for scripts; empty for None.
[[nodiscard]] const char* ProbeFailureKey(ProbeFailureKind kind);

// Why one probe family found nothing at an address, on its port.
struct FamilyFailure
{
    std::string family; // as the reasons name it; empty for the plain status page
    int port = 80;
    ProbeFailure failure;
};

// The reason of a job whose families all failed, in the order they were tried. The kind is that of
// the last family that got further than the network, else refused when any port refused, else
// silent; a network reason every family shares is said once ("connection refused on ports 80 and
// 443"), other reasons each with the family's port ("port 80: ...; LX400 on port 443: ..."). A
// family that reported nothing adds nothing.
[[nodiscard]] ProbeFailure CombineProbeFailures(const std::vector<FamilyFailure>& failures);
