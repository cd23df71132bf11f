#pragma once
// Titles of the database saved as audio files into one folder: names by the rule the save to
// disk uses, every core rendering (one synthesizer per worker), progress and Cancel through
// the host. A title that fails is reported and the others go on.

#include "base/Host.h"
#include "export/audio/AudioSettings.h"

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;
class TCatList;

// What to do with a file of the name a title gets that is there already.
enum class ExistingAudioFile {
    Ask,     // the host asks: Yes, No, All (replace this and the rest), Cancel
    Keep,    // the title is not written, and the summary says so
    Replace, // the new file replaces it
};

struct AudioExportResult {
    struct Failure {
        std::string title;
        std::string reason;
    };
    std::vector<std::filesystem::path> written;
    std::vector<Failure> failed;
    std::vector<std::filesystem::path> kept; // there already and not replaced
    bool cancelled = false;

    // "12 written, 1 failed: Title (reason)" and the files left as they were.
    std::string Summary() const;
};

// The names the audio files of one export get: <safe title><extension>, or
// <safe title> (<master key>)<extension> when an earlier title of the same export took that
// name in any letter case (players and cards often tell no case apart).
class AudioFileNames {
public:
    AudioFileNames(std::filesystem::path dir, std::string extension)
        : dir_(std::move(dir)), extension_(std::move(extension)) {}
    std::filesystem::path For(const std::string& title, int32_t masterKey);

private:
    std::filesystem::path dir_;
    std::string extension_;
    std::set<std::string> given_; // upper-cased
};

class AudioExporter {
public:
    AudioExporter(TMyDB& db, IHost& host, const TCatList* categories = nullptr)
        : db_(db), host_(host), categories_(categories) {}

    // How many titles render at once; every core by default.
    void SetWorkers(unsigned workers) { workers_ = workers ? workers : 1; }

    // Exports the titles of `masterKeys` (keys of no live title are passed over) into `dir`,
    // created when missing. `album` tags every file (the album or category exported); empty
    // tags each title with its category.
    AudioExportResult Export(const std::vector<int32_t>& masterKeys,
                             const std::filesystem::path& dir, const AudioSettings& settings,
                             ExistingAudioFile existing, const std::string& album = {});

private:
    TMyDB& db_;
    IHost& host_;
    const TCatList* categories_;
    unsigned workers_ = 0; // 0: the number of cores
};

} // namespace tunquil
