#pragma once
// What mailing titles needs from the database and the archive writer, kept behind small
// interfaces so the mail code does not depend on how either is built.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tunquil {

class ITitleExporter {
public:
    struct TitleInfo {
        std::string category; // the category's name
        std::string artist;
        std::string title;
    };
    virtual ~ITitleExporter() = default;
    // The title's names; nullopt when no live title has the key.
    virtual std::optional<TitleInfo> Describe(int masterKey) = 0;
    // Writes the title's MIDI data to `file`; throws with the reason when it cannot.
    virtual void ExportMidi(int masterKey, const std::filesystem::path& file) = 0;
};

class IArchiveWriter {
public:
    virtual ~IArchiveWriter() = default;
    // Writes a ZIP archive at `archive` holding `files`; throws with the reason on failure.
    virtual void WriteArchive(const std::filesystem::path& archive,
                              const std::vector<std::filesystem::path>& files) = 0;
};

} // namespace tunquil
