#include "support/trace/trace_sinks.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

#include "support/trace/socket_handle.h"

namespace xdbg {

const char* ReportTypeName(int type)
{
    static constexpr const char* kNames[] = {"Information", "Warning", "Error", "Assertion Failed"};
    return type >= 0 && type < 4 ? kNames[type] : "";
}

std::string BuildMessageBoxText(int type, std::string_view text)
{
    std::array<char, kReportBufferSize> box{};
    const int length =
        std::snprintf(box.data(), box.size(), "Debug %s!\n\nFile: %s\nLine: %s\n\n%.*s\n\n", ReportTypeName(type),
                      "<file unknown>", "<line unknown>", static_cast<int>(text.size()), text.data());
    if (length < 0 || static_cast<std::size_t>(length) >= box.size())
        return kReportErrorText;
    return std::string(box.data(), static_cast<std::size_t>(length));
}

std::vector<std::string> SplitWindowPieces(std::string_view text)
{
    std::vector<std::string> pieces;
    for (;;) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) {
            pieces.emplace_back(text);
            return pieces;
        }
        // The window cannot receive an empty text, so an empty line travels as one space.
        pieces.emplace_back(end == 0 ? std::string_view(" ") : text.substr(0, end));
        text.remove_prefix(end + 1);
    }
}

std::string BuildListenerFrame(std::string_view text)
{
    std::string line(text.substr(0, kListenerTextLimit));
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    const auto first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        line.clear();
    } else {
        line.erase(line.find_last_not_of(' ') + 1);
        line.erase(0, first);
    }
    std::string frame = "XDEBUG|" + std::to_string(line.size()) + "|" + line + "|";
    if (frame.size() > kListenerTextLimit)
        frame.resize(kListenerTextLimit);
    return frame;
}

void WriteToStream(StreamTarget target, std::string_view text)
{
    switch (target) {
    case StreamTarget::None:
        return;
    case StreamTarget::StandardError:
        std::fwrite(text.data(), 1, text.size(), stderr);
        return;
    case StreamTarget::StandardOutput:
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return;
    case StreamTarget::LogFile:
        // Opened per report so that the file can be moved or deleted while the program runs; "e"
        // keeps it from leaking into the programs we start.
        if (std::FILE* file = std::fopen(kLogFileName, "abe")) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        return;
    }
}

void SendToWindow(const std::string& name, std::string_view text)
{
    const auto pieces = SplitWindowPieces(text);
    SocketHandle socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid())
        return;
    // A listener that stops reading lets its queue fill up; the caller then waits at most this.
    const timeval timeout{0, 1000};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t nameLength = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), nameLength); // abstract: leading NUL
    const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + nameLength);

    for (const auto& piece : pieces) {
        if (piece.empty())
            continue;
        const auto sent = ::sendto(socket.Get(), piece.data(), piece.size(), MSG_NOSIGNAL,
                                   reinterpret_cast<const sockaddr*>(&address), addressLength);
        if (sent < 0 && (errno == ECONNREFUSED || errno == ENOENT))
            return; // nobody listens: the remaining pieces would be dropped as well
    }
}

} // namespace xdbg
