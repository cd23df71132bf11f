#pragma once
// Text as the record files and the views handle it: UTF-8 in memory, cut at character
// boundaries, and case folded only for a-z, as the stored sort orders expect.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tunquil {

// The longest prefix of `text` of at most `maxBytes` bytes that does not end inside a
// multi-byte UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

// `text` cut for a field of `maxBytes` bytes, or `stored` (what the field reads as now) when
// `text` only goes on where `stored` ends and both would begin the field alike: a field written
// as Windows-1252 reads as more bytes of UTF-8 than it holds, and must not be cut once more.
std::string CutForField(std::string_view text, std::string_view stored, std::size_t maxBytes);

bool IsValidUtf8(std::string_view bytes);

// Bytes read from a stored text field: kept when they are UTF-8, otherwise taken as
// Windows-1252 (a file written by the Windows program) and converted.
std::string DecodeStoredText(std::string_view bytes);
// Every byte taken as Windows-1252, whatever it would read as in UTF-8.
std::string Windows1252ToUtf8(std::string_view bytes);

// Folds a-z onto A-Z and leaves every other byte alone.
char FoldAscii(char c);
std::string UpperAscii(std::string_view text);
// <0, 0, >0 comparing byte values after folding a-z onto A-Z.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// `text` without its control characters (bytes below 0x20, DEL, and U+0080 to U+009F in text
// that is UTF-8). A title or a name made from them would carry a line break, a NUL or a
// terminal's escape into every list, file name and mail it reaches.
std::string WithoutControlCharacters(std::string_view text);

// Removes blanks and control characters (bytes up to 0x20) at both ends.
std::string Trim(std::string_view text);

// The lines of a text: each ends at LF, with a CR just before it dropped; a last line without
// LF counts, and nothing follows a final LF.
std::vector<std::string> SplitLines(std::string_view text);

// Case-insensitive match of a file name against a mask with "*" and "?" ("*.mid").
bool MatchesMask(std::string_view name, std::string_view mask);
// The same against any of the masks of a list separated by ";" ("*.mid;*.kar").
bool MatchesAnyMask(std::string_view name, std::string_view masks);

// The names the scans look for: karaoke files are MIDI files under another name.
inline constexpr const char* kMidiFileMasks = "*.mid;*.kar";
// Whether a path names a karaoke file (".kar", any case): the extension alone, since a
// folder named "Karaoke" says nothing about the files in it.
bool IsKaraokeFileName(const std::filesystem::path& path);

} // namespace tunquil
