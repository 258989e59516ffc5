#include "sim/lx400_auth.h"

#include <algorithm>
#include <random>

namespace sim {

namespace {

std::string DecodeBase64(const std::string& text, bool& ok)
{
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    std::size_t padding = 0;
    ok = text.size() % 4 == 0;
    for (const char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const auto at = alphabet.find(c);
        if (at == std::string::npos || padding > 0) {
            ok = false;
            return {};
        }
        buffer = (buffer << 6) | static_cast<unsigned>(at);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    ok = ok && padding <= 2;
    return out;
}

} // namespace

std::string SessionStore::Open()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i)
        token += digits[random() & 15];
    const std::lock_guard lock(mutex_);
    tokens_.push_back(token);
    if (tokens_.size() > kMaxSessions)
        tokens_.pop_front();
    return token;
}

bool SessionStore::Valid(const std::string& cookieHeader) const
{
    const std::string name = std::string(kCookieName) + "=";
    std::size_t at = 0;
    while (at < cookieHeader.size()) {
        auto end = cookieHeader.find(';', at);
        if (end == std::string::npos)
            end = cookieHeader.size();
        std::string pair = cookieHeader.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.rfind(name, 0) == 0) {
            const std::string token = pair.substr(name.size());
            const std::lock_guard lock(mutex_);
            if (!token.empty() && std::find(tokens_.begin(), tokens_.end(), token) != tokens_.end())
                return true;
        }
        at = end + 1;
    }
    return false;
}

bool BasicMatches(const std::string& authorization, const std::string& user, const std::string& password)
{
    const std::string scheme = "Basic ";
    if (authorization.rfind(scheme, 0) != 0)
        return false;
    bool ok = false;
    const std::string decoded = DecodeBase64(authorization.substr(scheme.size()), ok);
    return ok && decoded == user + ":" + password;
}

} // namespace sim
