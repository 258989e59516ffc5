#pragma once

#include <string>
#include <string_view>

// Writes `content` to the file `path` whole or not at all: into a new file beside it, flushed to
// the disk, then renamed over it and the rename synced with the folder, so a failure part of the
// way leaves an old file as it was and no partial file behind. The new file's name is `path` with
// ".part-" and a number behind it. A replaced file keeps its permissions; a new one gets 0666 less
// the umask. Returns 0, or the errno of the step that failed.
[[nodiscard]] int ReplaceFile(const std::string& path, std::string_view content);
