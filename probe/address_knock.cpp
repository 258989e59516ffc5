#include "probe/address_knock.h"

#include "net/http_client.h"
#include "net/tcp_knock.h"
#include "probe/transfer_failure.h"

#include <arpa/inet.h>

KnockOutcome JudgeAnswers(const std::vector<KnockPort>& ports, std::span<const net::PortAnswer> answers)
{
    KnockOutcome outcome;
    bool open = false;
    bool unknown = false;
    bool allRefused = true;
    for (std::size_t i = 0; i < answers.size() && i < ports.size(); ++i) {
        switch (answers[i]) {
        case net::PortAnswer::Open:
            open = true;
            allRefused = false;
            break;
        case net::PortAnswer::Unknown:
            // No knock on this port: the probe tries it as it would without one.
            unknown = true;
            allRefused = false;
            break;
        case net::PortAnswer::Refused:
            outcome.deadPorts.push_back({ports[i].port, KnockFailure(answers[i])});
            break;
        case net::PortAnswer::Silent:
            outcome.deadPorts.push_back({ports[i].port, KnockFailure(answers[i])});
            allRefused = false;
            break;
        }
    }
    if (open)
        outcome.verdict = KnockVerdict::Answered;
    else if (unknown || answers.empty())
        outcome.verdict = KnockVerdict::NotKnocked;
    else
        outcome.verdict = allRefused ? KnockVerdict::Refused : KnockVerdict::Silent;
    return outcome;
}

void KnockAddresses(const std::vector<Ipv4Address>& addresses, const std::vector<KnockPort>& ports,
                    const std::function<bool()>& stopRequested, const KnockReport& report,
                    std::chrono::milliseconds connectTimeout)
{
    if (connectTimeout.count() <= 0)
        connectTimeout = std::chrono::milliseconds(net::HttpLimits{}.connectTimeoutMs);
    std::vector<std::uint32_t> knocked; // network byte order, as the sockets take them
    knocked.reserve(addresses.size());
    for (const Ipv4Address address : addresses)
        knocked.push_back(htonl(address.Value()));
    std::vector<std::uint16_t> portNumbers;
    for (const KnockPort& port : ports)
        portNumbers.push_back(port.port);
    net::KnockPorts(
        knocked, portNumbers, connectTimeout, stopRequested,
        [&](std::size_t at, std::span<const net::PortAnswer> answers) { report(at, JudgeAnswers(ports, answers)); });
}
