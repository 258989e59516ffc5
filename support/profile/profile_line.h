#pragma once

#include <cstdint>
#include <list>
#include <string>

// One line of a profile in file order. The profile owns every line.
struct ProfileLine
{
    enum class Kind : std::uint8_t {
        // Reaches the file as it stands.
        Plain,
        // The "@$tmp_topic$@" line placed ahead of content that precedes the first topic; it never
        // reaches the file.
        PseudoTopic,
        // A line the model cannot place ("@$tmp_key$@" line): reaches the file unchanged, but no
        // key lookup ever matches it.
        Inert,
    };

    // The bytes exactly as read, with the line end they had (LF or CR LF, none for a last line
    // without one); lines the store makes end with the file's own line end.
    std::string text;
    Kind kind = Kind::Plain;
    // Set while this line is the topic index's entry for its normalised name.
    bool indexed = false;
    // Number of an inert line within its topic (the digits of its "@$tmp_key$@" name).
    std::uint16_t inertNumber = 0;
};

using ProfileLineList = std::list<ProfileLine>;
