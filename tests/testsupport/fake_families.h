#pragma once

#include "scan/record/probe_seam.h"

#include <functional>
#include <utility>

namespace testsupport {

// A stand-in probe that says whether it recognised an adapter; a recognised one asks the update
// check about the compact version "426".
using FakeProbe = std::function<bool(const ProbeTarget& target, DeviceRecord& record)>;

// The program's two families on their ports (the status page on 80, then LX400 on 443 with HTTPS
// or 80 without) with stand-in probes; an empty probe finds nothing.
inline std::vector<ProbeFamily> FakeFamilies(FakeProbe legacy, FakeProbe api = {})
{
    auto probe = [](FakeProbe fake) -> ProbeFunction {
        return [fake = std::move(fake)](const ProbeTarget& target, DeviceRecord& record) {
            ProbeResult result;
            result.recognised = fake && fake(target, record);
            if (result.recognised)
                result.compactVersion = "426";
            return result;
        };
    };
    return {{"", [](bool) -> std::uint16_t { return 80; }, probe(std::move(legacy))},
            {"LX400", [](bool https) -> std::uint16_t { return https ? 443 : 80; }, probe(std::move(api))}};
}

} // namespace testsupport
