// The knock against sockets of the test's own on loopback addresses: a listener, a port that
// refuses, and a listener whose queue is full, which drops every further connection attempt.
#include "platform/tcp_knock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::PortAnswer;
using namespace std::chrono_literals;

std::uint32_t Address(const char* dotted)
{
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, dotted, &parsed), 1);
    return parsed.s_addr;
}

// A TCP socket bound to 127.0.0.1 and a free port; listening (with the given backlog) or not, in
// which case a connection to the port is refused.
class LocalPort final
{
public:
    explicit LocalPort(int backlog = -1) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port_ = ntohs(address.sin_port);
        if (backlog >= 0) {
            EXPECT_EQ(listen(fd_, backlog), 0);
        }
    }
    ~LocalPort()
    {
        for (const int fd : clients_)
            close(fd);
        close(fd_);
    }
    LocalPort(const LocalPort&) = delete;
    LocalPort& operator=(const LocalPort&) = delete;

    // Fills the queue of a listener with backlog 0 that never accepts: one connection fits, the
    // attempts after it get no answer at all, as from a host that drops the packets.
    void FillQueue()
    {
        const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        clients_.push_back(client);
    }

    [[nodiscard]] std::uint16_t Port() const { return port_; }

private:
    int fd_;
    std::uint16_t port_ = 0;
    std::vector<int> clients_;
};

struct Reported
{
    std::vector<std::size_t> order;
    std::map<std::size_t, std::vector<PortAnswer>> answers;
};

Reported Knock(const std::vector<std::uint32_t>& addresses, const std::vector<std::uint16_t>& ports,
               std::chrono::milliseconds timeout, bool* completed = nullptr,
               const std::function<bool()>& stop = nullptr)
{
    Reported reported;
    const bool done = platform::KnockPorts(addresses, ports, timeout, stop,
                                           [&](std::size_t address, std::span<const PortAnswer> answers) {
                                               reported.order.push_back(address);
                                               EXPECT_EQ(reported.answers.count(address), 0u) << "reported twice";
                                               reported.answers[address].assign(answers.begin(), answers.end());
                                           });
    if (completed != nullptr)
        *completed = done;
    return reported;
}

TEST(TcpKnock, EachPortOfEachAddressGetsItsOwnAnswer)
{
    LocalPort open(16);
    LocalPort refusing;
    LocalPort full(0);
    full.FillQueue();
    // The listeners are bound to 127.0.0.1 only, so the same ports refuse on 127.0.0.2.
    const std::vector<std::uint32_t> addresses{Address("127.0.0.1"), Address("127.0.0.2")};
    const std::vector<std::uint16_t> ports{open.Port(), refusing.Port(), full.Port()};
    bool completed = false;
    const Reported reported = Knock(addresses, ports, 500ms, &completed);
    EXPECT_TRUE(completed);
    ASSERT_EQ(reported.answers.size(), 2u);
    EXPECT_EQ(reported.answers.at(0), (std::vector{PortAnswer::Open, PortAnswer::Refused, PortAnswer::Silent}));
    EXPECT_EQ(reported.answers.at(1), (std::vector{PortAnswer::Refused, PortAnswer::Refused, PortAnswer::Refused}));
    // The second address was decided long before the silent port of the first timed out.
    EXPECT_EQ(reported.order, (std::vector<std::size_t>{1, 0}));
}

TEST(TcpKnock, AddressesDecidedTogetherComeInOrderAndEveryOneOnce)
{
    LocalPort open(64);
    std::vector<std::uint32_t> addresses;
    for (int host = 40; host >= 1; --host)
        addresses.push_back(Address(("127.0.3." + std::to_string(host)).c_str()));
    addresses.push_back(Address("127.0.0.1"));
    const Reported reported = Knock(addresses, {open.Port()}, 3000ms);
    ASSERT_EQ(reported.order.size(), addresses.size());
    EXPECT_TRUE(std::is_sorted(reported.order.begin(), reported.order.end()));
    EXPECT_EQ(reported.answers.at(addresses.size() - 1), std::vector{PortAnswer::Open});
    EXPECT_EQ(reported.answers.at(0), std::vector{PortAnswer::Refused});
}

TEST(TcpKnock, StopEndsTheKnockWithoutReportingTheUndecided)
{
    LocalPort full(0);
    full.FillQueue();
    LocalPort refusing;
    std::atomic<int> asked{0};
    bool completed = true;
    // Stops on the second look, while the silent port still has most of its minute to go.
    const Reported reported =
        Knock({Address("127.0.0.1")}, {full.Port(), refusing.Port()}, 60s, &completed, [&] { return ++asked >= 2; });
    EXPECT_FALSE(completed);
    EXPECT_TRUE(reported.answers.empty());
    EXPECT_EQ(asked.load(), 2);
}

TEST(TcpKnock, NoPortsDecidesEveryAddressAtOnce)
{
    bool completed = false;
    const Reported reported = Knock({Address("127.0.0.1"), Address("127.0.0.2")}, {}, 3000ms, &completed);
    EXPECT_TRUE(completed);
    EXPECT_EQ(reported.order, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(reported.answers.at(0).empty());
}

} // namespace
