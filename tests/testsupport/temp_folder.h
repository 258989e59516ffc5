#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A fresh, empty folder below the system's temporary directory, removed with everything in it
// when the object goes out of scope.
class TempFolder final
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to `name` inside the folder and returns the full path.
    std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) const;
    // The names of the folder's entries, sorted: what a write left behind.
    [[nodiscard]] std::vector<std::string> Names() const;
    // Reads a whole file as bytes.
    [[nodiscard]] static std::string ReadFile(const std::filesystem::path& file);

private:
    std::filesystem::path path_;
};

} // namespace testsupport
