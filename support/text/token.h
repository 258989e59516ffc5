#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Splits delimited texts ("a;b;c", "1.2.3", "type|name") into numbered fields.
//
// The delimiter is a whole string: fields are separated by every occurrence of the complete
// delimiter, not by any one of its characters. Fields are numbered from 1. An empty source has
// no fields; an empty delimiter makes the whole source field 1. Occurrences are found from the
// left without overlapping, and empty fields count, so a source with k occurrences has k + 1
// fields. A missing (null) text argument counts as a failure; a null delimiter as empty.
class CJToken
{
public:
    // The typed getters convert at most this many bytes of a field, less one.
    static constexpr std::size_t kScratchSize = 1024;

    explicit CJToken(const char* delimiter);
    virtual ~CJToken() = default;
    CJToken(const CJToken&) = default;
    CJToken& operator=(const CJToken&) = default;

    // Replaces the delimiter; returns 1.
    int SetDelimiter(const char* delimiter);
    [[nodiscard]] const std::string& Delimiter() const { return delimiter_; }

    // Number of fields of `source`; 0 for a null or empty source.
    [[nodiscard]] int GetCount(const char* source) const;

    // Copies field `field` into `buffer`: at most `bufferSize` - 1 bytes and a NUL. With `trim`
    // the field first loses its leading and trailing blanks. A field number below 1 or beyond
    // the last field gives an empty text. Returns 1, or 0 when buffer or source is null or the
    // buffer has no room even for the NUL.
    int GetToken(char* buffer, std::size_t bufferSize, const char* source, int field, bool trim) const;

    // The field as a string, without a length limit; empty for a field that does not exist.
    [[nodiscard]] std::string Token(std::string_view source, int field, bool trim = false) const;

    // Typed getters: the field, trimmed, converted like the C runtime's decimal conversions
    // (leading blanks, optional sign, digits; 0 when there are none). 32-bit results saturate
    // at their range as they would with a 32-bit `long`; 16-bit results are the 32-bit integer
    // conversion stored in 16 bits. Floating conversions always use the classic '.' decimal
    // point, whatever locale the process runs in. Each returns 1, or 0 when `out` or `source`
    // is null (leaving `out` alone).
    int GetTokenShort(std::int16_t* out, const char* source, int field) const;
    int GetTokenUShort(std::uint16_t* out, const char* source, int field) const;
    int GetTokenLong(std::int32_t* out, const char* source, int field) const;
    int GetTokenULong(std::uint32_t* out, const char* source, int field) const;
    int GetTokenFloat(float* out, const char* source, int field) const;
    int GetTokenDouble(double* out, const char* source, int field) const;

    // The trimmed field, cut to the scratch size: what the typed getters convert.
    [[nodiscard]] std::string ScratchField(const char* source, int field) const;

private:
    // The field of `source`, or an empty view when it does not exist.
    [[nodiscard]] std::string_view Field(std::string_view source, int field) const;

    std::string delimiter_;
};
