#include "net/tcp_knock.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStopPoll = std::chrono::milliseconds(100);
constexpr int kEventBatch = 64;

PortAnswer AnswerOf(int error)
{
    switch (error) {
    case 0:
        return PortAnswer::Open;
    case ECONNREFUSED:
        return PortAnswer::Refused;
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENONET:
        return PortAnswer::Silent;
    default:
        return PortAnswer::Unknown;
    }
}

// Connects in flight at once. Half the descriptor limit leaves the other half to the probes that
// run meanwhile; a /24 with two ports needs 510, which the usual limit of 1024 allows. However high
// the limit, at most 16384: a /19 with two ports in one round, while a connect waiting for its
// answer holds some kilobytes of kernel memory, so a /16 all at once would hold close to a gigabyte.
constexpr std::size_t kMostInFlight = 16384;

std::size_t InFlightLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 2), 16, kMostInFlight);
}

// A local shortage that ends as knocks in flight end: descriptors, memory, local ports.
bool ShortOfLocalResources(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM || error == EAGAIN ||
           error == EADDRNOTAVAIL;
}

class Knock final
{
public:
    Knock(std::span<const std::uint32_t> addresses, std::span<const std::uint16_t> ports,
          std::chrono::milliseconds timeout, const KnockReport& report)
        : addresses_(addresses), ports_(ports), timeout_(timeout), report_(report),
          pairs_(addresses.size() * ports.size()), answers_(pairs_, PortAnswer::Unknown), fds_(pairs_, -1),
          open_(addresses.size(), ports.size()), limit_(InFlightLimit())
    {}

    ~Knock()
    {
        for (const int fd : fds_) {
            if (fd >= 0)
                close(fd);
        }
        if (epoll_ >= 0)
            close(epoll_);
    }

    Knock(const Knock&) = delete;
    Knock& operator=(const Knock&) = delete;

    bool Run(const std::function<bool()>& stopRequested)
    {
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        if (epoll_ < 0) {
            for (std::size_t pair = 0; pair < pairs_; ++pair)
                Settle(pair, PortAnswer::Unknown);
            Report();
            return true;
        }
        for (;;) {
            StartPairs();
            Report();
            if (settledAddresses_ == addresses_.size())
                return true;
            if (stopRequested && stopRequested())
                return false;
            WaitForEvents();
            Expire();
        }
    }

private:
    void StartPairs()
    {
        while (next_ < pairs_ && inFlight_ < limit_) {
            const std::size_t pair = next_;
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                // Out of descriptors: wait for knocks in flight to free some; with none in
                // flight this pair cannot be knocked at all.
                if (ShortOfLocalResources(errno) && inFlight_ > 0)
                    return;
                ++next_;
                Settle(pair, PortAnswer::Unknown);
                continue;
            }
            sockaddr_in peer{};
            peer.sin_family = AF_INET;
            peer.sin_addr.s_addr = addresses_[pair / ports_.size()];
            peer.sin_port = htons(ports_[pair % ports_.size()]);
            if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
                ++next_;
                close(fd);
                Settle(pair, PortAnswer::Open);
                continue;
            }
            if (errno != EINPROGRESS) {
                const int error = errno;
                close(fd);
                // No local port or buffer for it now: the same pair again once knocks in flight
                // have ended, rather than an address probed without its knock.
                if (ShortOfLocalResources(error) && inFlight_ > 0)
                    return;
                ++next_;
                Settle(pair, AnswerOf(error));
                continue;
            }
            ++next_;
            epoll_event event{};
            event.events = EPOLLOUT;
            event.data.u64 = pair;
            if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) {
                close(fd);
                Settle(pair, PortAnswer::Unknown);
                continue;
            }
            fds_[pair] = fd;
            ++inFlight_;
            started_.push_back({pair, Clock::now() + timeout_});
        }
    }

    void WaitForEvents()
    {
        auto wait = kStopPoll;
        if (!started_.empty()) {
            const auto untilDeadline =
                std::chrono::ceil<std::chrono::milliseconds>(started_.front().deadline - Clock::now());
            wait = std::clamp(untilDeadline, std::chrono::milliseconds(0), kStopPoll);
        }
        epoll_event events[kEventBatch];
        const int count = epoll_wait(epoll_, events, kEventBatch, static_cast<int>(wait.count()));
        for (int i = 0; i < count; ++i) {
            const auto pair = static_cast<std::size_t>(events[i].data.u64);
            const int fd = fds_[pair];
            if (fd < 0)
                continue;
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
            Finish(pair, AnswerOf(error));
        }
    }

    // Knocks whose time-out passed count as silent. Every knock has the same time-out, so the
    // oldest comes first.
    void Expire()
    {
        const auto now = Clock::now();
        while (!started_.empty()) {
            const Started& oldest = started_.front();
            if (fds_[oldest.pair] >= 0) {
                if (oldest.deadline > now)
                    break;
                Finish(oldest.pair, PortAnswer::Silent);
            }
            started_.pop_front();
        }
    }

    void Finish(std::size_t pair, PortAnswer answer)
    {
        close(fds_[pair]);
        fds_[pair] = -1;
        --inFlight_;
        Settle(pair, answer);
    }

    void Settle(std::size_t pair, PortAnswer answer)
    {
        answers_[pair] = answer;
        const std::size_t address = pair / ports_.size();
        if (--open_[address] == 0)
            decided_.push_back(address);
    }

    void Report()
    {
        std::sort(decided_.begin(), decided_.end());
        for (const std::size_t address : decided_) {
            ++settledAddresses_;
            if (report_)
                report_(address, std::span(answers_).subspan(address * ports_.size(), ports_.size()));
        }
        decided_.clear();
    }

    struct Started
    {
        std::size_t pair;
        Clock::time_point deadline;
    };

    std::span<const std::uint32_t> addresses_;
    std::span<const std::uint16_t> ports_;
    std::chrono::milliseconds timeout_;
    const KnockReport& report_;
    std::size_t pairs_;
    std::vector<PortAnswer> answers_;
    std::vector<int> fds_;
    std::vector<std::size_t> open_; // ports per address without an answer yet
    std::vector<std::size_t> decided_;
    std::deque<Started> started_;
    std::size_t limit_;
    std::size_t next_ = 0;
    std::size_t inFlight_ = 0;
    std::size_t settledAddresses_ = 0;
    int epoll_ = -1;
};

} // namespace

bool KnockPorts(std::span<const std::uint32_t> addresses, std::span<const std::uint16_t> ports,
                std::chrono::milliseconds connectTimeout, const std::function<bool()>& stopRequested,
                const KnockReport& report)
{
    if (ports.empty()) {
        // Nothing to knock on: every address is decided at once, without answers.
        for (std::size_t address = 0; address < addresses.size(); ++address) {
            if (report)
                report(address, {});
        }
        return true;
    }
    Knock knock(addresses, ports, connectTimeout, report);
    return knock.Run(stopRequested);
}

} // namespace net
