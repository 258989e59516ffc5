#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The program's own location, its privileges and error-code mapping.

// Full path of the running program (from /proc/self/exe); empty when it cannot be read or is
// longer than kMaxPath.
[[nodiscard]] std::string ModuleFileName();

// The folder of ModuleFileName(), ending with '/'; empty when the file name is.
[[nodiscard]] std::string ModuleDirectory();

// 1 when the calling thread may change the machine's network set-up (effective uid 0, or
// CAP_NET_ADMIN in its effective capability set), 0 otherwise.
[[nodiscard]] int IsUserAdministrator();

// Whether the "CapEff:" line of a /proc/<pid>/status text grants CAP_NET_ADMIN; false when the
// line is missing or unreadable.
[[nodiscard]] bool StatusGrantsNetAdmin(std::string_view procStatus);

// 0 and negative codes unchanged; otherwise the low 16 bits of `code` ORed with 0x80070000.
[[nodiscard]] std::int32_t HResultFromWin32(std::int32_t code);
