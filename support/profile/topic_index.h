#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>

#include "support/profile/profile_line.h"

// Hash table from a normalised topic name to the line that introduces the topic. It holds
// iterators into the profile's line list; std::list keeps them valid while other lines come and go.
class ProfileTopicIndex final
{
public:
    static constexpr std::uint32_t kBuckets = 1000;

    // Drops '[', ']' and the white characters and upper-cases the rest (classic locale).
    [[nodiscard]] static std::string Normalise(std::string_view text);
    // The name a topic line is entered under: its text up to the first ']' normalised, so that a
    // remark behind the brackets does not hide the topic from lookups.
    [[nodiscard]] static std::string LineName(std::string_view line);
    // The bucket of an already normalised name.
    [[nodiscard]] static std::uint32_t Bucket(std::string_view name);

    // Enters `line` under its LineName unless that name is taken.
    // Returns whether the line was entered (its `indexed` flag then set).
    bool Enter(ProfileLineList::iterator line);
    // Removes the entry of an indexed line, found by the LineName of its current text.
    void Remove(ProfileLineList::iterator line);
    // The line entered under `name` (already normalised), or `end` when there is none.
    [[nodiscard]] ProfileLineList::iterator Find(std::string_view name, ProfileLineList::iterator end) const;
    void Clear();
    [[nodiscard]] std::size_t Size() const { return size_; }

private:
    struct Entry
    {
        std::string name;
        ProfileLineList::iterator line;
    };
    std::array<std::list<Entry>, kBuckets> buckets_;
    std::size_t size_ = 0;
};
