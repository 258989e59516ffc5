#include "testsupport/recording_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

struct Target
{
    std::string host;
    std::uint16_t port = 80;
    std::string path = "/";
};

// "http://HOST[:PORT][/PATH]" or "HOST:PORT"; the host is empty when the text is neither.
Target Parse(std::string text)
{
    Target target;
    if (text.rfind("http://", 0) == 0) {
        text = text.substr(7);
        if (const auto slash = text.find('/'); slash != std::string::npos) {
            target.path = text.substr(slash);
            text = text.substr(0, slash);
        }
    }
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        target.port = static_cast<std::uint16_t>(std::stoul(text.substr(colon + 1)));
        text = text.substr(0, colon);
    }
    target.host = text;
    return target;
}

// Sends one HTTP/1.0 GET and returns the whole answer as it came; empty when nothing came.
std::string Forward(const Target& target)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(target.port);
    std::string answer;
    if (fd >= 0 && ::inet_pton(AF_INET, target.host.c_str(), &address.sin_addr) == 1 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request =
            "GET " + target.path + " HTTP/1.0\r\nHost: " + target.host + "\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t got = 0;
            while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    if (fd >= 0)
        ::close(fd);
    return answer;
}

} // namespace

RecordingProxy::RecordingProxy()
    : server_([](const LoopbackHttpServer::Request& request) {
          if (request.method == "GET" && request.target.rfind("http://", 0) == 0) {
              LoopbackHttpServer::Reply reply;
              reply.bytes = Forward(Parse(request.target));
              if (!reply.bytes.empty())
                  return reply;
          }
          return LoopbackHttpServer::Respond(502, "no upstream");
      })
{}

std::string RecordingProxy::Url() const
{
    return "http://" + server_.Authority();
}

std::vector<std::string> RecordingProxy::Hosts() const
{
    std::vector<std::string> hosts;
    for (const auto& request : server_.Requests())
        hosts.push_back(Parse(request.target).host);
    return hosts;
}

} // namespace testsupport
