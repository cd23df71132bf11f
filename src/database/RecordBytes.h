#pragma once
// Little-endian integers, doubles and length-prefixed short strings inside fixed-size records.

#include "base/Text.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tunquil::record_bytes {

inline int32_t GetInt32(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 |
                                static_cast<uint32_t>(b[3]) << 24);
}

inline void PutInt32(char* p, int32_t value) {
    auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline double GetDouble(const char* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | static_cast<unsigned char>(p[i]);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline void PutDouble(char* p, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

// A field of capacity N is N + 1 bytes: the length, then the characters. A length byte past
// the capacity (a damaged record) is clamped so the read never leaves the field.
inline std::string GetShortString(const char* p, std::size_t capacity) {
    std::size_t length = static_cast<unsigned char>(p[0]);
    if (length > capacity)
        length = capacity;
    // Most stored text is plain ASCII; only other text needs the UTF-8 check.
    unsigned char high = 0;
    for (std::size_t i = 1; i <= length; ++i)
        high |= static_cast<unsigned char>(p[i]);
    if (high < 0x80)
        return std::string(p + 1, length);
    return DecodeStoredText(std::string_view(p + 1, length));
}

inline void PutShortString(char* p, std::string_view text, std::size_t capacity) {
    std::string cut = CutUtf8(text, capacity);
    p[0] = static_cast<char>(cut.size());
    std::memcpy(p + 1, cut.data(), cut.size());
    std::memset(p + 1 + cut.size(), 0, capacity - cut.size());
}

// Stores `text` only when the field does not already read as it: a field left alone keeps its
// bytes, so a name written as Windows-1252 is not re-encoded (and cut, since UTF-8 is longer).
inline void PatchShortString(char* p, std::string_view text, std::size_t capacity) {
    if (GetShortString(p, capacity) != text)
        PutShortString(p, text, capacity);
}

} // namespace tunquil::record_bytes
