#include "net/http_fetcher.h"

#include "support/dirs/temp_dir.h"
#include "support/text/paths.h"
#include "support/text/strings.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iconv.h>
#include <random>

namespace {

constexpr std::size_t kFileBlock = 4096;
constexpr std::uint32_t kTempFolderBound = 10000;

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

class Converter final
{
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Valid())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    [[nodiscard]] bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

bool WriteAll(std::FILE* file, const char* data, std::size_t size)
{
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

// Random suffix of the converter's output file; it only has to differ from the input's name.
int NextRandom()
{
    thread_local std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
    return static_cast<int>(generator() & 0x7FFFFFFF);
}

} // namespace

bool ExtractLabelValue(const std::string& label, const std::string& page, std::string* value)
{
    if (value == nullptr || label.empty())
        return false;
    const std::size_t at = page.find(label);
    if (at == std::string::npos || at == 0)
        return false;
    const std::size_t begin = at + label.size();
    std::size_t end = begin;
    while (end < page.size() && page[end] != '<' && page[end] != '\0')
        ++end;
    if (end > begin)
        value->assign(page, begin, end - begin);
    return true;
}

bool ConvertFileCharset(const char* path, const char* fromCharset, const char* toCharset)
{
    if (path == nullptr || fromCharset == nullptr || toCharset == nullptr)
        return false;
    Converter converter(toCharset, fromCharset);
    if (!converter.Valid())
        return false;

    const std::string outputPath = std::string(path) + "_" + std::to_string(NextRandom());
    bool success = false;
    {
        File input(std::fopen(path, "rb"));
        File output(std::fopen(outputPath.c_str(), "wb"));
        if (!input || !output)
            return false;

        char in[kFileBlock];
        char out[kFileBlock];
        std::size_t carried = 0;
        for (;;) {
            const std::size_t read = std::fread(in + carried, 1, kFileBlock - carried, input.get());
            if (read == 0 && carried == 0)
                break;
            char* inPtr = in;
            std::size_t inLeft = carried + read;
            char* outPtr = out;
            std::size_t outLeft = sizeof out;
            const std::size_t result = iconv(converter.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            if (!WriteAll(output.get(), out, sizeof out - outLeft)) {
                success = false;
                break;
            }
            if (result == static_cast<std::size_t>(-1)) {
                const bool atEnd = std::feof(input.get()) != 0;
                if (!(error == E2BIG || (error == EINVAL && !atEnd))) {
                    success = false;
                    break;
                }
            }
            // A read that brought nothing new while bytes stay unconverted can never finish
            // them: an incomplete sequence at the very end of the file.
            if (read == 0 && inLeft == carried) {
                success = false;
                break;
            }
            std::memmove(in, inPtr, inLeft);
            carried = inLeft;
            success = true;
        }

        char* outPtr = out;
        std::size_t outLeft = sizeof out;
        if (iconv(converter.Get(), nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            success = false;
        else if (!WriteAll(output.get(), out, sizeof out - outLeft))
            success = false;
        if (std::fflush(output.get()) != 0 || std::ferror(output.get()) != 0)
            success = false;
    }
    if (!success)
        return false;
    std::error_code ec;
    std::filesystem::rename(outputPath, path, ec);
    return !ec;
}

bool ConvertPageToLatin1(std::string* text)
{
    if (text == nullptr)
        return false;
    std::error_code ec;
    const std::string tempDirectory = std::filesystem::temp_directory_path(ec).string();
    if (ec || tempDirectory.empty() || tempDirectory.size() > 260)
        return false;

    CXTempDir temp(kTempFolderBound);
    std::string name;
    if (!temp.CreateUniqueDir(tempDirectory.c_str(), "trawlix", nullptr, &name))
        return false;
    const std::string folder = JoinPath(tempDirectory, name);
    const std::string file = JoinPath(folder, "tmp.tmp");
    {
        File out(std::fopen(file.c_str(), "wb"));
        if (out) {
            // A short write leaves a truncated file whose conversion must not replace the page.
            if (!WriteAll(out.get(), text->data(), text->size()) || std::fflush(out.get()) != 0) {
                out.reset();
                temp.RemoveTree(folder.c_str(), "*.*", true);
                return false;
            }
        }
    }
    if (!ConvertFileCharset(file.c_str(), "UTF-8", "ISO-8859-1")) {
        temp.RemoveTree(folder.c_str(), "*.*", true);
        return false;
    }

    std::string converted;
    bool readOk = false;
    {
        File in(std::fopen(file.c_str(), "rb"));
        if (in) {
            char block[kFileBlock];
            std::size_t got = 0;
            while ((got = std::fread(block, 1, sizeof block, in.get())) > 0)
                converted.append(block, got);
            readOk = std::ferror(in.get()) == 0;
        }
    }
    temp.RemoveTree(folder.c_str(), "*.*", true);
    // A failed read must not hand back half a page as the converted one, nor count as converted.
    if (!readOk)
        return false;
    if (!converted.empty())
        *text = std::move(converted);
    return true;
}

namespace {

void Report(const net::HttpRequest& request, const net::HttpResponse& response, TransferReport* report)
{
    if (report == nullptr)
        return;
    report->status = response.status;
    report->failure = response.failure;
    report->failureText = response.failureText;
    report->requestedUrl = request.url;
    report->url = response.url;
}

} // namespace

bool FetchPage(const std::string& host, const std::string& path, std::string* page, jwin::StopToken stop)
{
    return FetchPage(host, path, page, FetchOptions{stop, net::HttpPeer::Server}, nullptr);
}

bool FetchPage(const std::string& host, const std::string& path, std::string* page, const FetchOptions& options,
               FetchReport* report)
{
    if (page == nullptr)
        return false;
    net::HttpSession session(kUserAgent, options.stop);
    net::HttpRequest request;
    request.url = "http://" + host + "/" + path;
    request.peer = options.peer;
    const net::HttpResponse response = session.Perform(request);
    Report(request, response, report);
    if (!response.Completed())
        return false;
    page->append(response.body);

    const std::string upper = ToUpper(*page);
    if (upper.find("FILE NOT FOUND") != std::string::npos) {
        if (report != nullptr)
            report->notFoundPage = true;
        return false;
    }
    if (upper.find("CHARSET=UTF-8") != std::string::npos)
        ConvertPageToLatin1(page);
    return true;
}

std::string UrlHost(Ipv4Address address, std::uint16_t port, bool https)
{
    const std::uint16_t schemePort = https ? 443 : 80;
    return port == schemePort ? address.Text() : address.Text() + ":" + std::to_string(port);
}

ApiSession::ApiSession(Ipv4Address address, std::uint16_t port, bool useHttps, std::string user, std::string password,
                       jwin::StopToken stop)
    : host_(UrlHost(address, port, useHttps)), useHttps_(useHttps), user_(std::move(user)),
      password_(std::move(password)), http_(kUserAgent, stop)
{}

bool SendApiRequest(ApiSession* session, const std::string& verb, const std::string& objectPath,
                    const std::string& body, long* status, std::string* responseBody)
{
    if (session == nullptr || status == nullptr || !session->http_.Valid())
        return false;
    net::HttpRequest request;
    request.url = (session->useHttps_ ? "https://" : "http://") + session->host_ + objectPath;
    request.method = verb;
    request.body = body;
    request.headers = {"Content-Type: application/json"};
    request.http10 = true;
    // Adapters carry self-signed certificates made for no particular name, and old ones speak
    // old TLS.
    request.peer = net::HttpPeer::Adapter;
    request.user = session->user_;
    request.password = session->password_;
    net::HttpResponse response = session->http_.Perform(request);
    session->last_ = {};
    Report(request, response, &session->last_);
    if (!response.Completed() || response.status <= 0)
        return false;
    *status = response.status;
    if (response.status == 200 && responseBody != nullptr) {
        std::string joined;
        joined.reserve(response.body.size());
        for (const char c : response.body) {
            if (c != '\n')
                joined += c;
        }
        *responseBody = std::move(joined);
    }
    return true;
}
