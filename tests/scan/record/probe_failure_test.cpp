// How the reasons of a job's two probes become the one its record carries.
#include "scan/record/probe_failure.h"

#include <gtest/gtest.h>

namespace {

using Kind = ProbeFailureKind;

TEST(CombineProbeFailures, TheFurthestReasonLeadsAndSharedOnesAreSaidOnce)
{
    const ProbeFailure refused{Kind::Refused, "connection refused"};
    const ProbeFailure silent{Kind::Silent, "no answer within 3 s"};
    const ProbeFailure tls{Kind::TlsFailed, "TLS handshake failed: unsupported protocol"};
    const ProbeFailure labels{Kind::NotAnAdapter, "HTTP 200 page without adapter data"};
    struct Case
    {
        ProbeFailure legacy;
        ProbeFailure api;
        int apiPort;
        ProbeFailure expected;
    };
    const Case cases[] = {
        {refused, refused, 443, {Kind::Refused, "connection refused on ports 80 and 443"}},
        {refused, refused, 80, {Kind::Refused, "connection refused on port 80"}},
        {silent, silent, 443, {Kind::Silent, "no answer on ports 80 and 443"}},
        {refused, tls, 443, {Kind::TlsFailed, "port 80: connection refused; LX400 on port 443: " + tls.detail}},
        {labels,
         refused,
         443,
         {Kind::NotAnAdapter, "port 80: " + labels.detail + "; LX400 on port 443: connection refused"}},
        {labels, tls, 443, {Kind::TlsFailed, "port 80: " + labels.detail + "; LX400 on port 443: " + tls.detail}},
        {silent, refused, 443, {Kind::Refused, "port 80: no answer within 3 s; LX400 on port 443: connection refused"}},
        {labels, {}, 443, {Kind::NotAnAdapter, "port 80: " + labels.detail}},
        {{}, {}, 443, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CombineProbeFailures({{"", 80, c.legacy}, {"LX400", c.apiPort, c.api}}), c.expected)
            << c.expected.detail;
    // A third family in the list: shared reasons name every port once, the furthest one leads.
    const ProbeFailure page{Kind::PageNotFound, "file not found"};
    EXPECT_EQ(CombineProbeFailures({{"", 80, refused}, {"LX400", 443, refused}, {"LX500", 8443, refused}}),
              (ProbeFailure{Kind::Refused, "connection refused on ports 80, 443 and 8443"}));
    EXPECT_EQ(CombineProbeFailures({{"", 80, page}, {"LX400", 80, refused}, {"LX500", 8443, silent}}),
              (ProbeFailure{Kind::PageNotFound, "port 80: file not found; LX400 on port 80: connection refused; "
                                                "LX500 on port 8443: no answer within 3 s"}));
    EXPECT_EQ(CombineProbeFailures({}), ProbeFailure{});
    EXPECT_STREQ(ProbeFailureKey(Kind::Silent), "silent");
    EXPECT_STREQ(ProbeFailureKey(Kind::RedirectRefused), "redirect-refused");
}

} // namespace
