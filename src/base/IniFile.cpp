#include "base/IniFile.h"

#include "base/Files.h"
#include "base/Text.h"

#include <cerrno>
#include <charconv>
#include <system_error>

namespace tunquil {

namespace {

constexpr std::size_t npos = std::string::npos;

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The section name of a "[Name]" line, or false when the line is not one.
bool ParseSectionLine(std::string_view line, std::string_view& name) {
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    std::size_t close = line.find(']');
    if (close == npos)
        return false;
    name = TrimBlanks(line.substr(1, close - 1));
    return true;
}

// The key and value of a "Key=Value" line; comments and lines without "=" are not entries.
bool ParseEntryLine(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return false;
    std::size_t eq = trimmed.find('=');
    if (eq == npos)
        return false;
    key = TrimBlanks(trimmed.substr(0, eq));
    value = TrimBlanks(trimmed.substr(eq + 1));
    return true;
}

// A value is one line of the file; a line break inside it would split it into entries that
// were never written.
std::string OneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return out;
}

} // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec))
        return;
    Parse(ReadWholeFile(path_));
}

IniFile::IniFile(std::filesystem::path path, std::string_view text) : path_(std::move(path)) {
    Parse(text);
}

void IniFile::Parse(std::string_view text) {
    if (text.find("\r\n") != npos)
        newline_ = "\r\n";
    finalNewline_ = text.empty() || text.back() == '\n';
    lines_ = SplitLines(text);
}

std::size_t IniFile::FindSection(std::string_view section) const {
    std::string_view name;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (ParseSectionLine(lines_[i], name) && SameTextIgnoringCase(name, section))
            return i;
    return npos;
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
    std::string_view name;
    std::size_t i = header + 1;
    while (i < lines_.size() && !ParseSectionLine(lines_[i], name))
        ++i;
    return i;
}

std::size_t IniFile::FindKey(std::size_t header, std::string_view key) const {
    std::size_t end = SectionEnd(header);
    std::string_view k, v;
    for (std::size_t i = header + 1; i < end; ++i)
        if (ParseEntryLine(lines_[i], k, v) && SameTextIgnoringCase(k, key))
            return i;
    return npos;
}

bool IniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != npos;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    std::size_t header = FindSection(section);
    return header != npos && FindKey(header, key) != npos;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& defaultValue) const {
    std::size_t header = FindSection(section);
    if (header == npos)
        return defaultValue;
    std::size_t at = FindKey(header, key);
    if (at == npos)
        return defaultValue;
    std::string_view k, v;
    ParseEntryLine(lines_[at], k, v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    std::string text = ReadString(section, key, "");
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    int value = 0;
    auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || err != std::errc() || end != digits.data() + digits.size())
        return defaultValue;
    return value;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::string line = OneLine(key) + "=" + OneLine(value);
    std::size_t header = FindSection(section);
    if (header == npos) {
        // A blank line between sections, as the Windows functions leave it.
        if (!lines_.empty() && !TrimBlanks(lines_.back()).empty())
            lines_.emplace_back();
        lines_.push_back("[" + OneLine(section) + "]");
        lines_.push_back(std::move(line));
        dirty_ = true;
        return;
    }
    std::size_t at = FindKey(header, key);
    if (at != npos) {
        // The key keeps the spelling the file already has; only its value changes.
        std::string updated = lines_[at].substr(0, lines_[at].find('=') + 1) + OneLine(value);
        if (lines_[at] != updated) {
            lines_[at] = std::move(updated);
            dirty_ = true;
        }
        return;
    }
    // After the section's last non-blank line, so the blank line before the next section stays.
    std::size_t end = SectionEnd(header);
    while (end > header + 1 && TrimBlanks(lines_[end - 1]).empty())
        --end;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
    dirty_ = true;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    std::size_t header = FindSection(section);
    if (header == npos)
        return;
    // Every entry of the key goes: a file edited by hand may repeat one, and the next would
    // otherwise read as the value of a key just deleted.
    for (std::size_t at = FindKey(header, key); at != npos; at = FindKey(header, key)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
        dirty_ = true;
    }
}

std::string IniFile::Text() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i];
        if (i + 1 < lines_.size() || finalNewline_ || dirty_)
            out += newline_;
    }
    return out;
}

void IniFile::UpdateFile() {
    if (!dirty_)
        return;
    // Tunquil.ini holds the mail login: a new one is the user's alone.
    WriteFileAtomically(path_, Text(), 0600);
    dirty_ = false;
    finalNewline_ = true;
}

} // namespace tunquil
