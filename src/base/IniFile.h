#pragma once
// Settings in the Windows initialisation-file form: "[Section]" lines and "Key=Value" lines.
// Section and key names match without regard to a-z case. Writing one key keeps every other
// line of the file as it was, comments and order included, so a file edited by hand or shared
// with another copy of the program survives a save.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tunquil {

class IniFile {
public:
    // Reads `path` when it exists; a missing file reads as empty and is created by UpdateFile.
    // Throws FileError when the file exists but cannot be read.
    explicit IniFile(std::filesystem::path path);
    // The settings of `text`, to be written to `path`: what the file would read as.
    IniFile(std::filesystem::path path, std::string_view text);

    const std::filesystem::path& path() const { return path_; }

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    // A missing key reads as `defaultValue`. Blanks around the value and one pair of enclosing
    // double quotes are dropped.
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue) const;
    // A decimal number; a missing key or a value that is not a whole number reads as the default.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // Any non-zero number is true; anything else that is not a number reads as the default.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Replaces the value of an existing key in place (keeping the key as the file spells it), or
    // adds the key, written exactly as given, at the end of its section (the section at the end
    // of the file when it is new).
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void DeleteKey(std::string_view section, std::string_view key);

    // Writes the file atomically when something changed since it was read or last written.
    void UpdateFile();

    // The file's text as UpdateFile would write it.
    std::string Text() const;

private:
    void Parse(std::string_view text);
    // Index of the "[section]" line, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index past the last line that belongs to the section starting at `header`.
    std::size_t SectionEnd(std::size_t header) const;
    std::size_t FindKey(std::size_t header, std::string_view key) const;

    std::filesystem::path path_;
    std::vector<std::string> lines_;
    std::string newline_ = "\n";
    bool finalNewline_ = true;
    bool dirty_ = false;
};

} // namespace tunquil
