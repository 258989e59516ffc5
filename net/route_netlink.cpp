#include "net/route_netlink.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace net {
namespace {

// Large enough for any one message of a link dump; a bigger one is reported, not cut.
constexpr std::size_t kReceiveBufferSize = 65536;

// A request: the netlink header, the family's fixed part and room for a few attributes.
template <class Body> struct Request
{
    nlmsghdr header{};
    Body body{};
    alignas(NLMSG_ALIGNTO) unsigned char attributes[64]{};
};

template <class Body> Request<Body> MakeRequest(std::uint16_t type, std::uint16_t flags)
{
    Request<Body> request;
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(Body));
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | flags);
    return request;
}

template <class Body> void AddAttribute(Request<Body>& request, std::uint16_t type, const void* data, std::size_t size)
{
    // The attributes follow the fixed part without a gap, as the kernel reads them.
    static_assert(offsetof(Request<Body>, attributes) == NLMSG_LENGTH(sizeof(Body)));
    if (NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(RTA_LENGTH(size)) > sizeof(Request<Body>))
        return;
    auto* attribute =
        reinterpret_cast<rtattr*>(reinterpret_cast<unsigned char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
    attribute->rta_type = type;
    attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
    std::memcpy(RTA_DATA(attribute), data, size);
    request.header.nlmsg_len =
        static_cast<std::uint32_t>(NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(RTA_LENGTH(size)));
}

// A route netlink socket connected to the kernel, so nothing but the kernel's answers arrive.
class RouteSocket final
{
public:
    RouteSocket()
    {
        fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        // The kernel answers at once; the limit only keeps a lost answer from hanging a caller.
        const timeval limit{5, 0};
        (void)::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) != 0) {
            error_ = errno;
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RouteSocket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RouteSocket(const RouteSocket&) = delete;
    RouteSocket& operator=(const RouteSocket&) = delete;

    // Sends `request` and hands each answer message to `take` until the kernel's end of the
    // answer (its acknowledgement, or the end of a dump). Returns 0, or the errno the kernel
    // answered with, or the socket's.
    template <class Body> int Exchange(Request<Body>& request, const std::function<void(const nlmsghdr&)>& take)
    {
        if (fd_ < 0)
            return error_;
        request.header.nlmsg_seq = ++sequence_;
        if (::send(fd_, &request, request.header.nlmsg_len, 0) < 0)
            return errno;
        std::vector<unsigned char> buffer(kReceiveBufferSize);
        for (;;) {
            sockaddr_nl from{};
            socklen_t fromSize = sizeof from;
            const ssize_t got =
                ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (static_cast<std::size_t>(got) > buffer.size())
                return EMSGSIZE;
            if (from.nl_pid != 0)
                continue;
            auto length = static_cast<unsigned>(got);
            for (auto* message = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(message, length);
                 message = NLMSG_NEXT(message, length)) {
                if (message->nlmsg_seq != request.header.nlmsg_seq)
                    continue;
                if (message->nlmsg_type == NLMSG_ERROR) {
                    if (message->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
                        return EBADMSG;
                    return -static_cast<const nlmsgerr*>(NLMSG_DATA(message))->error;
                }
                if (message->nlmsg_type == NLMSG_DONE) {
                    if (message->nlmsg_len >= NLMSG_LENGTH(sizeof(int))) {
                        int error = 0;
                        std::memcpy(&error, NLMSG_DATA(message), sizeof error);
                        return -error;
                    }
                    return 0;
                }
                take(*message);
            }
        }
    }

private:
    int fd_ = -1;
    int error_ = 0;
    std::uint32_t sequence_ = 0;
};

// Calls `take` with each attribute of the block that starts at `first` and holds `length` bytes.
void ForEachAttribute(const rtattr* first, std::size_t length,
                      const std::function<void(unsigned short type, const void* data, std::size_t size)>& take)
{
    auto left = static_cast<unsigned>(length);
    for (const rtattr* attribute = first; RTA_OK(attribute, left); attribute = RTA_NEXT(attribute, left))
        take(attribute->rta_type, RTA_DATA(attribute), RTA_PAYLOAD(attribute));
}

std::string AttributeText(const void* data, std::size_t size)
{
    const auto* text = static_cast<const char*>(data);
    return std::string(text, ::strnlen(text, size));
}

int AttributeInt(const void* data, std::size_t size)
{
    int value = 0;
    if (size >= sizeof value)
        std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

LinkList ListLinks()
{
    LinkList list;
    RouteSocket socket;
    auto request = MakeRequest<ifinfomsg>(RTM_GETLINK, NLM_F_DUMP);
    request.body.ifi_family = AF_UNSPEC;
    std::vector<LinkInfo> links;
    list.error = socket.Exchange(request, [&links](const nlmsghdr& message) {
        if (message.nlmsg_type != RTM_NEWLINK || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
            return;
        const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
        LinkInfo link;
        link.index = info->ifi_index;
        link.flags = info->ifi_flags;
        link.type = info->ifi_type;
        ForEachAttribute(IFLA_RTA(info), IFLA_PAYLOAD(&message),
                         [&link](unsigned short type, const void* data, std::size_t size) {
                             if (type == IFLA_IFNAME)
                                 link.name = AttributeText(data, size);
                             else if (type == IFLA_MASTER)
                                 link.master = AttributeInt(data, size);
                             else if (type == IFLA_LINKINFO)
                                 ForEachAttribute(static_cast<const rtattr*>(data), size,
                                                  [&link](unsigned short inner, const void* text, std::size_t length) {
                                                      if (inner == IFLA_INFO_KIND)
                                                          link.kind = AttributeText(text, length);
                                                  });
                         });
        links.push_back(std::move(link));
    });
    if (list.error == 0)
        list.links = std::move(links);
    return list;
}

RouteLookup LookupRoute(std::uint32_t address)
{
    RouteLookup lookup;
    RouteSocket socket;
    auto request = MakeRequest<rtmsg>(RTM_GETROUTE, NLM_F_ACK);
    request.body.rtm_family = AF_INET;
    request.body.rtm_dst_len = 32;
    const std::uint32_t destination = htonl(address);
    AddAttribute(request, RTA_DST, &destination, sizeof destination);
    bool answered = false;
    const int error = socket.Exchange(request, [&](const nlmsghdr& message) {
        if (message.nlmsg_type != RTM_NEWROUTE || message.nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
            return;
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(&message));
        bool gateway = false;
        ForEachAttribute(RTM_RTA(route), RTM_PAYLOAD(&message),
                         [&](unsigned short type, const void* data, std::size_t size) {
                             if (type == RTA_OIF)
                                 lookup.interfaceIndex = AttributeInt(data, size);
                             else if (type == RTA_GATEWAY || type == RTA_VIA)
                                 gateway = true;
                         });
        if (route->rtm_type == RTN_LOCAL)
            lookup.kind = RouteLookup::Kind::Local;
        else if (route->rtm_type == RTN_UNICAST)
            lookup.kind = gateway ? RouteLookup::Kind::Gateway : RouteLookup::Kind::OnLink;
        else
            lookup.kind = RouteLookup::Kind::Other;
        answered = true;
    });
    if (error != 0 || !answered) {
        lookup = {};
        lookup.error = error != 0 ? error : EBADMSG;
    }
    return lookup;
}

int AddOnLinkHostRoute(std::uint32_t address, int interfaceIndex)
{
    RouteSocket socket;
    auto request = MakeRequest<rtmsg>(RTM_NEWROUTE, NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL);
    request.body.rtm_family = AF_INET;
    request.body.rtm_dst_len = 32;
    request.body.rtm_table = RT_TABLE_MAIN;
    // The protocol "ip route add" gives a route added by hand.
    request.body.rtm_protocol = RTPROT_BOOT;
    request.body.rtm_scope = RT_SCOPE_LINK;
    request.body.rtm_type = RTN_UNICAST;
    const std::uint32_t destination = htonl(address);
    AddAttribute(request, RTA_DST, &destination, sizeof destination);
    AddAttribute(request, RTA_OIF, &interfaceIndex, sizeof interfaceIndex);
    return socket.Exchange(request, [](const nlmsghdr&) {});
}

RouteHelperExit RouteHelperExitFor(int error)
{
    switch (error) {
    case 0:
        return RouteHelperExit::Added;
    case EEXIST:
        return RouteHelperExit::AlreadyPresent;
    case EPERM:
    case EACCES:
        return RouteHelperExit::NotPermitted;
    case ENODEV:
        return RouteHelperExit::NoSuchInterface;
    case ENETDOWN:
        return RouteHelperExit::InterfaceDown;
    default:
        return RouteHelperExit::Failed;
    }
}

} // namespace net
