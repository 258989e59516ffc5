#include "support/profile/topic_index.h"

#include "support/profile/line_syntax.h"

std::string ProfileTopicIndex::Normalise(std::string_view text)
{
    std::string name;
    name.reserve(text.size());
    for (const char c : text) {
        if (c == '[' || c == ']' || profile_syntax::IsWhite(c))
            continue;
        name.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return name;
}

std::string ProfileTopicIndex::LineName(std::string_view line)
{
    const std::size_t close = line.find(']');
    return Normalise(close == std::string_view::npos ? line : line.substr(0, close + 1));
}

std::uint32_t ProfileTopicIndex::Bucket(std::string_view name)
{
    std::uint32_t h = 0;
    for (std::uint32_t i = 0; i < name.size(); ++i) {
        // The byte as a signed 8-bit value widened to 32 bits; everything else wraps unsigned.
        const auto c = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(name[i])));
        const std::uint32_t s = (c + i) % 4;
        h = (h + (((i + 1) * c) << s) + kBuckets / (s + 1)) % kBuckets;
    }
    return h;
}

bool ProfileTopicIndex::Enter(ProfileLineList::iterator line)
{
    std::string name = LineName(line->text);
    auto& bucket = buckets_[Bucket(name)];
    for (const Entry& entry : bucket) {
        if (entry.name == name)
            return false;
    }
    bucket.push_back(Entry{std::move(name), line});
    line->indexed = true;
    ++size_;
    return true;
}

void ProfileTopicIndex::Remove(ProfileLineList::iterator line)
{
    if (!line->indexed)
        return;
    auto& bucket = buckets_[Bucket(LineName(line->text))];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
        if (it->line == line) {
            bucket.erase(it);
            --size_;
            break;
        }
    }
    line->indexed = false;
}

ProfileLineList::iterator ProfileTopicIndex::Find(std::string_view name, ProfileLineList::iterator end) const
{
    for (const Entry& entry : buckets_[Bucket(name)]) {
        if (entry.name == name)
            return entry.line;
    }
    return end;
}

void ProfileTopicIndex::Clear()
{
    for (auto& bucket : buckets_)
        bucket.clear();
    size_ = 0;
}
