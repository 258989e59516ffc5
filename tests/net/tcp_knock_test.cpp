// The knock against sockets of the test's own on loopback: a listener, a port that refuses, and a
// listener with a full queue, which drops every further connection attempt like a silent host.
#include "net/tcp_knock.h"
#include "testsupport/private_network.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using net::PortAnswer;
using namespace std::chrono_literals;

std::uint32_t Loopback(int last)
{
    return htonl(INADDR_LOOPBACK - 1 + static_cast<std::uint32_t>(last));
}

// A port of 127.0.0.1: listening with `backlog`, or only bound (refusing) when it is negative.
struct LocalPort
{
    explicit LocalPort(int backlog = -1, int queued = 0)
    {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
        if (backlog >= 0) {
            EXPECT_EQ(listen(fd, backlog), 0);
        }
        // Connections nobody accepts fill the queue.
        for (int i = 0; i < queued; ++i) {
            clients.push_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            EXPECT_EQ(connect(clients.back(), reinterpret_cast<sockaddr*>(&address), length), 0);
        }
    }
    ~LocalPort()
    {
        for (const int client : clients)
            close(client);
        close(fd);
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::uint16_t port = 0;
    std::vector<int> clients;
};

TEST(TcpKnock, EachPortOfEachAddressGetsItsAnswerAndEachAddressIsReportedOnceWhenDecided)
{
    const LocalPort open(16);
    const LocalPort refusing;
    const LocalPort full(0, 1);
    std::vector<std::size_t> order;
    std::map<std::size_t, std::vector<PortAnswer>> answers;
    // The listeners are bound to 127.0.0.1 only, so the same ports refuse on 127.0.0.2 and .3.
    const bool completed = net::KnockPorts(
        std::vector{Loopback(1), Loopback(3), Loopback(2)}, std::vector{open.port, refusing.port, full.port}, 500ms,
        nullptr, [&](std::size_t address, std::span<const PortAnswer> got) {
            order.push_back(address);
            EXPECT_TRUE(answers.emplace(address, std::vector(got.begin(), got.end())).second) << "reported twice";
        });
    EXPECT_TRUE(completed);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers.at(0), (std::vector{PortAnswer::Open, PortAnswer::Refused, PortAnswer::Silent}));
    EXPECT_EQ(answers.at(1), (std::vector{PortAnswer::Refused, PortAnswer::Refused, PortAnswer::Refused}));
    // Decided together: in index order; the first address waited for its silent port.
    EXPECT_EQ(order, (std::vector<std::size_t>{1, 2, 0}));
}

TEST(TcpKnock, StopEndsTheKnockWithoutReportingTheUndecided)
{
    const LocalPort full(0, 1);
    std::atomic<int> asked{0};
    bool reported = false;
    const bool completed = net::KnockPorts(
        std::vector{Loopback(1)}, std::vector{full.port}, 60s, [&] { return ++asked >= 2; },
        [&](std::size_t, std::span<const PortAnswer>) { reported = true; });
    EXPECT_FALSE(completed);
    EXPECT_FALSE(reported);
    EXPECT_EQ(asked.load(), 2);
}

// With no local port left, a connect waits for the knocks in flight instead of ending without an
// answer (which would have the address probed as if never knocked). Runs on a thread of its own in
// a network namespace of its own, whose range of local ports it narrows to two.
TEST(TcpKnock, ConnectsShortOfLocalPortsWaitForTheKnocksInFlight)
{
    std::string skipped;
    std::vector<std::vector<PortAnswer>> answers;
    std::thread([&] {
        if (!testsupport::EnterPrivateNetwork(&skipped))
            return;
        const LocalPort full(0, 1);
        std::ofstream("/proc/sys/net/ipv4/ip_local_port_range") << "40000 40001\n";
        // Five knocks on the same silent port: only two can be in flight at once.
        const std::vector<std::uint32_t> addresses(5, Loopback(1));
        net::KnockPorts(
            addresses, std::vector{full.port}, 200ms, nullptr,
            [&](std::size_t, std::span<const PortAnswer> got) { answers.emplace_back(got.begin(), got.end()); });
    }).join();
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    EXPECT_EQ(answers, std::vector<std::vector<PortAnswer>>(5, {PortAnswer::Silent}));
}

} // namespace
