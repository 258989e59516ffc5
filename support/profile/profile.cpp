#include "support/profile/profile.h"

#include <cstring>
#include <new>
#include <string_view>

#include "support/profile/line_syntax.h"
#include "support/profile/profile_file.h"
#include "support/trace/xdbg.h"

using namespace profile_syntax;
using LineIt = ProfileLineList::iterator;

namespace {

constexpr std::uint32_t kModeFlags[14] = {0x00, 0x01, 0x02, 0x03, 0x74, 0x75, 0x08,
                                          0x09, 0x0A, 0x0B, 0x30, 0x31, 0x32, 0x33};

bool ValidMode(std::int32_t mode)
{
    return mode >= kProfileModeFirst && mode <= kProfileModeLast;
}

std::uint32_t Flags(const Profile& profile)
{
    return ProfileModeFlags(profile.mode);
}

bool Has(const Profile& profile, std::uint32_t flag)
{
    return (Flags(profile) & flag) != 0;
}

bool NamesEqual(const Profile& profile, std::string_view a, std::string_view b)
{
    return Has(profile, PF_CASE) ? a == b : EqualNoCase(a, b);
}

void Release(Profile& profile)
{
    profile.index.Clear();
    profile.lines.clear();
    profile.path.clear();
    profile.open = false;
    profile.mode = 0;
    profile.modified = false;
    profile.lineEnd = "\n";
}

// Builds the line list from the file's lines: the pseudo topic ahead of early content, inert
// lines for what is neither topic nor key, and the topic index.
void Load(Profile& profile, std::vector<std::string> rawLines)
{
    const bool verbatim = Has(profile, PF_VERBATIM);
    const bool opaque = Has(profile, PF_OPAQUE);
    bool pseudoTopicPending = !Has(profile, PF_NO_TMP_TOPIC);
    std::uint16_t inertCounter = 0;

    if (!Has(profile, PF_SCRAMBLED) && !rawLines.empty() && rawLines.front().ends_with("\r\n"))
        profile.lineEnd = "\r\n";

    for (std::string& raw : rawLines) {
        const bool topic = IsTopicLine(raw);
        const bool content = IsContent(raw);
        if (pseudoTopicPending && content && !topic) {
            profile.lines.push_back(
                ProfileLine{std::string("[") + kProfileTmpTopic + "]\n", ProfileLine::Kind::PseudoTopic});
            profile.index.Enter(std::prev(profile.lines.end()));
            pseudoTopicPending = false;
        }
        if (topic) {
            pseudoTopicPending = false;
            inertCounter = 0;
        }
        ProfileLine line{std::move(raw)};
        if (!verbatim && content && !topic && (opaque || !IsKeyLine(line.text))) {
            line.kind = ProfileLine::Kind::Inert;
            line.inertNumber = inertCounter++;
        }
        profile.lines.push_back(std::move(line));
        if (topic)
            profile.index.Enter(std::prev(profile.lines.end()));
    }
}

LineIt FindTopic(Profile& profile, std::string_view topic)
{
    if (!Has(profile, PF_CASE)) {
        const LineIt hit = profile.index.Find(ProfileTopicIndex::Normalise(topic), profile.lines.end());
        if (hit != profile.lines.end())
            return hit;
    }
    for (LineIt it = profile.lines.begin(); it != profile.lines.end(); ++it) {
        const std::optional<std::string> name = BracketName(it->text);
        if (name && NamesEqual(profile, *name, topic))
            return it;
    }
    return profile.lines.end();
}

// The key's line within the topic's range, which ends at the next line with a bracket name.
LineIt FindKey(Profile& profile, LineIt topic, std::string_view key)
{
    if (key.empty())
        return profile.lines.end();
    const bool verbatim = Has(profile, PF_VERBATIM);
    for (LineIt it = std::next(topic); it != profile.lines.end() && !BracketName(it->text); ++it) {
        if (it->kind != ProfileLine::Kind::Plain)
            continue;
        const std::optional<std::string_view> name = KeyName(it->text, verbatim);
        if (name && !name->empty() && NamesEqual(profile, *name, key))
            return it;
    }
    return profile.lines.end();
}

// Length of a line as the store counts it: the CR of a CR LF file does not count.
std::size_t CountedLength(std::string_view line)
{
    return line.ends_with("\r\n") ? line.size() - 1 : line.size();
}

// Text that would break the line structure if written into a line.
bool BreaksLine(const Profile& profile, std::string_view text)
{
    if (text.find_first_of("\r\n") != std::string_view::npos)
        return true;
    // In the text form a Ctrl-Z would end the readable part of the file at the next open.
    return !Has(profile, PF_SCRAMBLED) && text.find('\x1a') != std::string_view::npos;
}

std::string ComposeKeyLine(const Profile& profile, std::string_view key, std::string_view value,
                           std::string_view remark)
{
    std::string line(key);
    line += Has(profile, PF_SPACED) ? " = " : "=";
    line += value;
    if (!remark.empty()) {
        line.append(10, ' ');
        line += remark;
    }
    line += profile.lineEnd;
    return line;
}

// A '#' remark of a key line, kept when its value is replaced under PF_SPACED.
std::string_view RemarkOf(std::string_view line)
{
    const std::string_view body = Body(line);
    const std::size_t eq = body.find('=');
    const std::size_t hash = body.find('#', eq == std::string_view::npos ? 1 : eq + 1);
    return hash == std::string_view::npos ? std::string_view{} : body.substr(hash);
}

// A last line without a line end gets one before anything is placed after it, so the two lines
// never run together. The scrambled form ends every line on disk anyway.
void CompleteLine(Profile& profile, ProfileLine& line)
{
    if (Has(profile, PF_SCRAMBLED) || HasLineEnd(line.text))
        return;
    line.text += line.text.ends_with('\r') ? "\n" : profile.lineEnd;
}

void EraseLine(Profile& profile, LineIt line)
{
    profile.index.Remove(line);
    profile.lines.erase(line);
}

int ReplaceKeyLine(Profile& profile, LineIt keyLine, std::string_view key, std::string_view value)
{
    const std::string_view remark = Has(profile, PF_SPACED) ? RemarkOf(keyLine->text) : std::string_view{};
    std::string text = ComposeKeyLine(profile, key, value, remark);
    if (CountedLength(text) > kProfileMaxLine)
        return 0;
    if (text == keyLine->text)
        return 1;
    profile.index.Remove(keyLine);
    keyLine->text.assign(text); // keeps the line's buffer when the new text fits
    if (IsTopicLine(keyLine->text))
        profile.index.Enter(keyLine);
    profile.modified = true;
    return 1;
}

int InsertKeyLine(Profile& profile, LineIt topic, std::string_view key, std::string_view value)
{
    std::string text = ComposeKeyLine(profile, key, value, {});
    if (CountedLength(text) > kProfileMaxLine)
        return 0;
    // After the last line of the topic's first run of non-blank lines.
    LineIt at = topic;
    for (LineIt next = std::next(at); next != profile.lines.end(); next = std::next(at)) {
        if (IsBlank(next->text) || BracketName(next->text))
            break;
        at = next;
    }
    CompleteLine(profile, *at);
    const LineIt inserted = profile.lines.insert(std::next(at), ProfileLine{std::move(text)});
    if (IsTopicLine(inserted->text))
        profile.index.Enter(inserted);
    profile.modified = true;
    return 1;
}

int DeleteTopic(Profile& profile, LineIt topic)
{
    LineIt it = topic;
    do {
        const LineIt doomed = it++;
        EraseLine(profile, doomed);
    } while (it != profile.lines.end() && !BracketName(it->text));
    profile.modified = true;
    return 1;
}

int AppendTopic(Profile& profile, std::string_view topic, std::string_view key, std::string_view value)
{
    std::string topicText = std::string("[") + std::string(topic) + "]" + profile.lineEnd;
    std::string keyText = ComposeKeyLine(profile, key, value, {});
    if (CountedLength(topicText) > kProfileMaxLine || CountedLength(keyText) > kProfileMaxLine)
        return 0;
    // A blank line sets the new topic off from what precedes it. A last line without a line end
    // (the header of a new file) is completed instead, so a new file holds no empty line.
    if (!profile.lines.empty()) {
        ProfileLine& last = profile.lines.back();
        if (!Has(profile, PF_SCRAMBLED) && !HasLineEnd(last.text))
            CompleteLine(profile, last);
        else
            profile.lines.push_back(ProfileLine{profile.lineEnd});
    }
    profile.lines.push_back(ProfileLine{std::move(topicText)});
    profile.index.Enter(std::prev(profile.lines.end()));
    profile.lines.push_back(ProfileLine{std::move(keyText)});
    profile.modified = true;
    return 1;
}

int ReadKey(Profile* profile, const char* topic, const char* key, std::string& value, bool raw)
{
    if (profile == nullptr || !profile->open || topic == nullptr || key == nullptr)
        return 0;
    const LineIt topicLine = FindTopic(*profile, topic);
    if (topicLine == profile->lines.end())
        return 0;
    const LineIt keyLine = FindKey(*profile, topicLine, key);
    if (keyLine == profile->lines.end())
        return 0;

    std::string_view range = Body(keyLine->text);
    const std::size_t eq = range.find('=');
    if (eq == std::string_view::npos) {
        value.clear();
        return 1;
    }
    range.remove_prefix(eq + 1);
    if (Has(*profile, PF_SPACED))
        range = range.substr(0, range.find('#'));
    if (raw) {
        value.assign(range);
        return 1;
    }
    std::string result;
    result.reserve(range.size());
    for (const char c : range) {
        if (c != '\t' && !(c == ' ' && result.empty()))
            result.push_back(c);
    }
    while (!result.empty() && result.back() == ' ')
        result.pop_back();
    value = std::move(result);
    return 1;
}

std::string FileBytes(const Profile& profile)
{
    const bool scrambled = Has(profile, PF_SCRAMBLED);
    std::string bytes;
    for (const ProfileLine& line : profile.lines) {
        if (line.kind == ProfileLine::Kind::PseudoTopic)
            continue;
        bytes += scrambled ? profile_file::ScrambleLine(line.text) : line.text;
    }
    return bytes;
}

Profile& DefaultProfile()
{
    static Profile profile;
    return profile;
}

std::int32_t OneShotMode(ProfileOneShot kind, bool write)
{
    switch (kind) {
    case ProfileOneShot::Verbatim:
        return write ? 6 : 5;
    case ProfileOneShot::Scrambled:
        return write ? 4 : 3;
    case ProfileOneShot::Text:
        break;
    }
    return write ? 2 : 1;
}

} // namespace

std::uint32_t ProfileModeFlags(std::int32_t mode)
{
    return ValidMode(mode) ? kModeFlags[mode - 1] : 0;
}

int _open_profile(Profile* profile, const char* path, std::int32_t mode)
{
    if (profile == nullptr || path == nullptr || !ValidMode(mode))
        return 0;
    if (profile->open) {
        // Exact comparison: on this file system paths that differ in case name different files.
        if (profile->path == path)
            return 1;
        XDbgTrace("ERR: _open_profile: try to open file <%s>, but file <%s> is opened in this profile!\n", path,
                  profile->path.c_str());
        return 0;
    }
    if (std::strlen(path) > kProfileMaxPath)
        return 0;
    const bool scrambled = (ProfileModeFlags(mode) & PF_SCRAMBLED) != 0;
    try {
        if ((ProfileModeFlags(mode) & PF_WRITABLE) != 0) {
            const std::string header =
                scrambled ? profile_file::ScrambleLine(kProfileHeader) : std::string(kProfileHeader);
            if (!profile_file::EnsureWithHeader(path, header))
                return 0;
        }
        Release(*profile);
        profile->mode = mode;
        profile->path = path;
        std::optional<std::string> bytes = profile_file::ReadAll(path);
        if (!bytes) {
            Release(*profile);
            return 0;
        }
        Load(*profile, scrambled ? profile_file::SplitScrambled(*bytes) : profile_file::SplitText(*bytes));
        profile->open = true;
        return 1;
    } catch (const std::bad_alloc&) {
        Release(*profile);
        return 0;
    }
}

int _close_profile(Profile* profile)
{
    if (profile == nullptr || !profile->open)
        return 0;
    int result = 1;
    if (Has(*profile, PF_WRITABLE) && profile->modified) {
        try {
            result = profile_file::WriteAll(profile->path.c_str(), FileBytes(*profile)) ? 1 : 0;
        } catch (const std::bad_alloc&) {
            result = 0;
        }
    }
    Release(*profile);
    return result;
}

int _write_profile_key(Profile* profile, const char* topic, const char* key, const char* value)
{
    if (profile == nullptr || !profile->open || !Has(*profile, PF_WRITABLE) || topic == nullptr)
        return 0;
    const std::string_view topicName = topic;
    const std::string_view keyName = key != nullptr ? key : "";
    const std::string_view text = value != nullptr ? value : "";
    if (BreaksLine(*profile, topicName) || BreaksLine(*profile, keyName) || BreaksLine(*profile, text))
        return 0;
    try {
        const LineIt topicLine = FindTopic(*profile, topicName);
        if (topicLine == profile->lines.end()) {
            // The pseudo topic only names lines already ahead of the first topic; appended as a
            // topic of its own it could never be found again.
            if (keyName.empty() || text.empty() || EqualNoCase(topicName, kProfileTmpTopic))
                return 0;
            return AppendTopic(*profile, topicName, keyName, text);
        }
        const LineIt keyLine = FindKey(*profile, topicLine, keyName);
        if (keyLine != profile->lines.end()) {
            if (text.empty()) {
                EraseLine(*profile, keyLine);
                profile->modified = true;
                return 1;
            }
            return ReplaceKeyLine(*profile, keyLine, keyName, text);
        }
        if (!keyName.empty() && !text.empty())
            return InsertKeyLine(*profile, topicLine, keyName, text);
        if (keyName.empty() && text.empty())
            return DeleteTopic(*profile, topicLine);
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int _read_profile_key(Profile* profile, const char* topic, const char* key, std::string& value)
{
    return ReadKey(profile, topic, key, value, false);
}

int _read_profile_key_raw(Profile* profile, const char* topic, const char* key, std::string& value)
{
    return ReadKey(profile, topic, key, value, true);
}

int _dump_profile(Profile* profile)
{
    if (profile == nullptr)
        return 0;
    int count = 0;
    for (const ProfileLine& line : profile->lines) {
        if (line.text.empty()) {
            XDbgTrace("node without text memory\n");
        } else if (line.kind == ProfileLine::Kind::Inert) {
            XDbgTrace("%s%05u=%s", kProfileTmpKey, static_cast<unsigned>(line.inertNumber), line.text.c_str());
        } else {
            XDbgTrace("%s", line.text.c_str());
        }
        ++count;
    }
    return count;
}

int open_profile(const char* path, std::int32_t mode)
{
    return _open_profile(&DefaultProfile(), path, mode);
}

int close_profile()
{
    return _close_profile(&DefaultProfile());
}

int write_profile_key(const char* topic, const char* key, const char* value)
{
    return _write_profile_key(&DefaultProfile(), topic, key, value);
}

int read_profile_key(const char* topic, const char* key, std::string& value)
{
    return _read_profile_key(&DefaultProfile(), topic, key, value);
}

int read_profile_key_raw(const char* topic, const char* key, std::string& value)
{
    return _read_profile_key_raw(&DefaultProfile(), topic, key, value);
}

int write_profile_key_once(const char* path, const char* topic, const char* key, const char* value, ProfileOneShot kind)
{
    Profile profile;
    if (!_open_profile(&profile, path, OneShotMode(kind, true)))
        return 0;
    const int written = _write_profile_key(&profile, topic, key, value);
    const int closed = _close_profile(&profile);
    return written && closed ? 1 : 0;
}

int read_profile_key_once(const char* path, const char* topic, const char* key, std::string& value, ProfileOneShot kind)
{
    Profile profile;
    if (!_open_profile(&profile, path, OneShotMode(kind, false)))
        return 0;
    const int found = _read_profile_key(&profile, topic, key, value);
    _close_profile(&profile);
    return found;
}
