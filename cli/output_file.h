#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// trawlix-scan --output FILE: the result written so that a reader (node_exporter's textfile
// collector, a script, a backup) only ever sees the previous file or the new one. The text goes
// into a new file beside FILE (a name that does not end like FILE, so a collector that reads
// "*.prom" skips it), is flushed to the disk and renamed over FILE; a failure part of the way
// leaves FILE as it was and nothing else behind. A replaced file keeps its permissions; a new one
// gets 0666 less the umask. Through a symbolic link the file it names is replaced and the link
// stays; a FILE that is no regular file (/dev/stdout, a pipe) is written directly, never replaced.
// Returns the exit status: 0, or 1 after a failure, reported in one line on `err`.
[[nodiscard]] int WriteOutputFile(const std::string& path, const std::string& text, std::FILE* err);

// The same, with the one-line reason of a failure ("cannot write FILE: ...") returned instead of
// reported; empty after success.
[[nodiscard]] std::string ReplaceOutputFile(const std::string& path, const std::string& text);

// What FILE holds now, read before it is replaced: its text when it is a regular file (also
// through links) of at most kMaxPreviousOutput bytes, else nothing. A device or pipe is never
// read, as nothing of ours is in it.
[[nodiscard]] std::string ReadPreviousOutput(const std::string& path);
inline constexpr std::size_t kMaxPreviousOutput = 64 * 1024 * 1024;
