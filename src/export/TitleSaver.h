#pragma once
// Saving titles out of the database into files the user names, one save dialog per title.

#include "base/Host.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;

enum class SaveFormat { Midi = 1, Compressed = 2 };

// The save dialog the window shows; the saver keeps what it remembers between titles.
class ISaveTitleDialog {
public:
    struct Choice {
        std::filesystem::path path;
        SaveFormat format = SaveFormat::Midi;
    };
    virtual ~ISaveTitleDialog() = default;
    // Asks where to save; nullopt when the user cancels.
    virtual std::optional<Choice> Ask(const std::string& caption, const std::string& fileName,
                                      const std::filesystem::path& directory,
                                      SaveFormat format) = 0;
};

class TitleSaver {
public:
    TitleSaver(TMyDB& db, IHost& host, std::filesystem::path programDirectory,
               ISaveTitleDialog& dialog, std::filesystem::path initialDirectory)
        : db_(db), host_(host), programDirectory_(std::move(programDirectory)), dialog_(dialog),
          directory_(std::move(initialDirectory)) {}

    // Offers each title in turn; keys no longer in the database are passed over. Returns the
    // number of titles saved.
    int SaveTitles(const std::vector<int32_t>& masterKeys);

    // The files a choice writes: name.mid, or name.mid and name.zip for the compressed format.
    // An extension the user typed that matches the format is not doubled.
    static std::vector<std::filesystem::path> FilesFor(const ISaveTitleDialog::Choice& choice);

    const std::filesystem::path& directory() const { return directory_; }
    SaveFormat format() const { return format_; }

private:
    enum class Outcome { Saved, NotSaved, AskAgain };
    Outcome SaveOne(int32_t masterKey, const std::string& name,
                    const ISaveTitleDialog::Choice& choice);

    TMyDB& db_;
    IHost& host_;
    std::filesystem::path programDirectory_;
    ISaveTitleDialog& dialog_;
    std::filesystem::path directory_;
    SaveFormat format_ = SaveFormat::Midi;
};

} // namespace tunquil
