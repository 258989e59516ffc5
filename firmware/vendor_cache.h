#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Answers of the vendor's update server kept on disk between searches, so that a timer searching
// every few minutes asks about each firmware only every few hours. One file per server and
// request path, in a folder of the user's own: a file is trusted only when it is a regular file
// in a folder that nobody else may write, holds exactly the server and path asked for and is
// younger than the maximum age; anything else counts as not kept. Writers replace files whole
// (beside and renamed), so two searches at once never see each other's half-written answers.
class VendorCache final
{
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // The largest page kept; the vendor's answers are a few hundred bytes.
    static constexpr std::size_t kMaxPage = 64 * 1024;

    // Keeps answers in `folder` (made, for the user alone, when missing) for `maxAge`.
    VendorCache(std::filesystem::path folder, std::chrono::seconds maxAge, Clock now = &std::chrono::system_clock::now);

    // The page kept for `path` on `server` when it is younger than the maximum age.
    [[nodiscard]] std::optional<std::string> Load(const std::string& server, const std::string& path) const;

    // Keeps `page` for `path` on `server`. False when it cannot be kept (the folder cannot be
    // made or written, or is not the user's alone, or the page is too large): then there is
    // simply no cache.
    bool Store(const std::string& server, const std::string& path, const std::string& page) const;

    [[nodiscard]] const std::filesystem::path& Folder() const { return folder_; }

    // The file that holds the answer for `path` on `server`.
    [[nodiscard]] std::filesystem::path FileFor(const std::string& server, const std::string& path) const;

private:
    [[nodiscard]] bool FolderIsPrivate(bool make) const;

    std::filesystem::path folder_;
    std::chrono::seconds maxAge_;
    Clock now_;
};

// Where the vendor's answers are kept, from the environment: $XDG_CACHE_HOME/trawlix, else
// $HOME/.cache/trawlix. A relative $XDG_CACHE_HOME is ignored, as the base directory rules say;
// nullopt when neither gives an absolute folder.
[[nodiscard]] std::optional<std::filesystem::path> VendorCacheFolder(const char* xdgCacheHome, const char* home);
