#pragma once

#include <cstdint>
#include <string>

#include "support/profile/profile_line.h"
#include "support/profile/topic_index.h"

// INI-style profiles: topics in square brackets followed by key lines "key=value". A profile is
// read whole into a line list when opened and, when it was opened writable and changed, written
// back whole when closed. Every line no write touched reaches the file byte for byte as read.
//
// Results of the plain functions are 1 for success and 0 for failure. Every text argument is a
// NUL-terminated byte string; a null pointer counts as a failure (or, for `value`, as empty).

// Mode flags.
inline constexpr std::uint32_t PF_WRITABLE = 0x01;     // created if missing, written back on close
inline constexpr std::uint32_t PF_SCRAMBLED = 0x02;    // binary file, every byte scrambled
inline constexpr std::uint32_t PF_SPACED = 0x04;       // "key = value"; '#' starts a remark
inline constexpr std::uint32_t PF_OPAQUE = 0x08;       // keys already in the file are not found
inline constexpr std::uint32_t PF_VERBATIM = 0x10;     // every line as read; key names may hold blanks
inline constexpr std::uint32_t PF_NO_TMP_TOPIC = 0x20; // no pseudo topic ahead of early content
inline constexpr std::uint32_t PF_CASE = 0x40;         // names compare case-sensitively, no index

// Modes 1 to 14; mode 1 is the read-only text profile, mode 2 the read-write one.
inline constexpr std::int32_t kProfileModeFirst = 1;
inline constexpr std::int32_t kProfileModeLast = 14;
// The flags of `mode`, 0 for a mode outside 1 to 14.
[[nodiscard]] std::uint32_t ProfileModeFlags(std::int32_t mode);

// A path holds at most this many characters.
inline constexpr std::size_t kProfileMaxPath = 255;
// A line made by the store, with its LF, holds at most this many characters.
inline constexpr std::size_t kProfileMaxLine = 8191;

// Pseudo names of lines the model cannot place.
inline constexpr const char* kProfileTmpTopic = "@$tmp_topic$@";
inline constexpr const char* kProfileTmpKey = "@$tmp_key$@";

// First line of a new profile.
inline constexpr const char* kProfileHeader = "; Orvanta GmbH (www.orvanta.de)";

// A profile; the caller owns it. A default-constructed Profile is closed. Destroying an open
// profile releases it without writing anything back.
struct Profile
{
    Profile() = default;
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    std::string path;
    ProfileLineList lines;
    bool open = false;
    std::int32_t mode = 0;
    ProfileTopicIndex index;
    bool modified = false;
    // Line end of the lines the store makes: CR LF when the file's first line ended so.
    std::string lineEnd = "\n";
};

// Opens `profile` on `path` in `mode` and reads the file. On a profile already open, succeeds for
// the same path (compared exactly) without reading again and keeps its mode, fails for another.
[[nodiscard]] int _open_profile(Profile* profile, const char* path, std::int32_t mode);
// Writes a writable, changed profile back and closes it (also when writing failed). 1 when nothing
// had to be written or the file was written; 0 when the profile was not open or writing failed.
int _close_profile(Profile* profile);
// Replaces, inserts or (with an empty value) deletes a key; with an empty key and an empty value
// deletes the whole topic; appends a new topic when the topic is missing. 1 when the key now holds
// the value or the deletion took place, 0 when nothing changed. Writing a value the key already
// holds in exactly that spelling gives 1 but does not mark the profile changed.
int _write_profile_key(Profile* profile, const char* topic, const char* key, const char* value);
// 1 and the value with tabs dropped and outer spaces removed when the key exists; 0 and `value`
// untouched otherwise.
[[nodiscard]] int _read_profile_key(Profile* profile, const char* topic, const char* key, std::string& value);
// As _read_profile_key, the value as it stands in the line.
[[nodiscard]] int _read_profile_key_raw(Profile* profile, const char* topic, const char* key, std::string& value);
// Traces every line; returns the number of lines traced.
int _dump_profile(Profile* profile);

// The process-wide default profile (user-interface thread only).
[[nodiscard]] int open_profile(const char* path, std::int32_t mode);
int close_profile();
int write_profile_key(const char* topic, const char* key, const char* value);
[[nodiscard]] int read_profile_key(const char* topic, const char* key, std::string& value);
[[nodiscard]] int read_profile_key_raw(const char* topic, const char* key, std::string& value);

// One-shot forms: open a private profile on `path`, do one write or read, close it again.
enum class ProfileOneShot {
    Text,      // writes in mode 2, reads in mode 1
    Verbatim,  // writes in mode 6, reads in mode 5 (spaced, verbatim names, case-sensitive)
    Scrambled, // writes in mode 4, reads in mode 3
};
int write_profile_key_once(const char* path, const char* topic, const char* key, const char* value,
                           ProfileOneShot kind = ProfileOneShot::Text);
[[nodiscard]] int read_profile_key_once(const char* path, const char* topic, const char* key, std::string& value,
                                        ProfileOneShot kind = ProfileOneShot::Text);
