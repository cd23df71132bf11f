#pragma once
// The one way a tune becomes a title: the import dispatcher, the add-one-file operation and
// the archive import, with the pending settings that every route fills in before it calls.
// Questions and notices go through the host; quiet calls turn them into status texts.

#include "base/Host.h"
#include "import/StoredTuneIndex.h"
#include "midi/MidiData.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunquil {

class TDMM2;
class TCatList;

// What AddMidiFile reports besides the "... is not MIDI file, has N bytes" text.
inline constexpr const char* kStatusOk = "OK";
inline constexpr const char* kStatusInvalidSize = "Invalid file size";
inline constexpr const char* kStatusCorrupted = "Corrupted MIDI file";
inline constexpr const char* kStatusDuplicate = "Duplicate";

struct PendingTitleSettings {
    std::string title;  // the title text of the tune being added
    std::string origin; // where it came from; stored and used to find duplicates
    int32_t ck = 0;     // category for new titles
    int32_t pk = 0;     // performer for new titles
};

class TitleImporter {
public:
    TitleImporter(IHost& host, TDMM2& data, TCatList& categories,
                  std::filesystem::path programDirectory);

    // The program is closing: every operation returns at once.
    std::function<bool()> shuttingDown = [] { return false; };
    // Called after an archive import may have added categories, so the views can follow.
    std::function<void()> onCategoriesChanged;

    PendingTitleSettings& Pending() { return pending_; }
    // Empty title or origin texts leave the current ones.
    void SetPendingTitleSettings(const std::string& title, const std::string& origin, int32_t pk,
                                 int32_t ck);

    // Adds reported together, flushed to disk once for many titles rather than once each.
    // Inside a batch AddMidiFile does not flush; Report holds each file's status until a flush
    // covers its add (at most about a second later) and then hands it to `deliver`; Finish
    // flushes and hands over the rest. So no title is told "OK" before it would survive a
    // power cut. A flush that fails turns the held "OK"s into its reason.
    class AddBatch {
    public:
        using Deliver = std::function<void(const std::string& path, const std::string& status)>;
        AddBatch(TitleImporter& importer, Deliver deliver);
        ~AddBatch();
        AddBatch(const AddBatch&) = delete;
        AddBatch& operator=(const AddBatch&) = delete;
        void Report(std::string path, std::string status);
        void Finish();

    private:
        void FlushAndDeliver();
        TitleImporter& importer_;
        Deliver deliver_;
        std::vector<std::pair<std::string, std::string>> held_;
        std::chrono::steady_clock::time_point lastFlush_;
        bool finished_ = false;
    };
    // Flushes the titles added since the last flush; throws FileError.
    void FlushAdds();

    // Checks one file and adds it as a title. `status` gets "OK" only when the title was
    // stored (and, outside a batch, flushed to disk); otherwise a reason, or "" when the user
    // declined a duplicate (it is left alone when the program is shutting down).
    void AddMidiFile(const std::filesystem::path& path, bool quiet, std::string& status,
                     bool checkDuplicates);
    // Makes the stored-tune archive of the file at `path`; false when there is no such file.
    bool PackTune(const std::filesystem::path& path, const std::filesystem::path& archivePath);

    // The import dispatcher: a path containing ".MID" (or ending in ".kar") is added, one
    // containing ".ZIP" is
    // imported as an archive of MIDI files. Gives "OK" (or the add's reason) for a MIDI file,
    // "" when an archive was imported without remark, otherwise the archive's reason.
    std::string ImportMusicFile(const std::filesystem::path& path, const std::string& title,
                                const std::string& origin, const std::string& performerName,
                                const std::string& categoryName, bool assign, bool addOption);
    std::string ImportArchive(const std::filesystem::path& archivePath, bool assign,
                              bool addOption);

    // The title text as stored: blanks trimmed, a final ".MID" (".RMI", ".KAR") dropped, "_" read
    // as blanks.
    static std::string CleanTitle(const std::string& text);

    // Tests only: the hash the duplicate check files tunes under (a constant one makes every
    // tune of a length a candidate, so only the bytes can tell them apart).
    void SetTuneHashForTesting(StoredTuneIndex::Hash hash) {
        tunes_.SetHashForTesting(std::move(hash));
    }

    std::filesystem::path TempZipsDirectory() const { return programDirectory_ / "TempZips"; }
    std::filesystem::path ExtractionDirectory() const { return programDirectory_ / "ForTempZips"; }

private:
    void ResolvePerformer(const std::string& performerName);
    // Whether the database holds the tune already: a title of the same origin (where that
    // origin may have been cut, holding these very bytes), or of the same length in seconds
    // whose stored tune is these very bytes (reached by another path). `hash` is the tune's.
    bool HasTitleOf(const std::string& bytes, int seconds, uint64_t hash);
    bool StoredTuneEquals(int32_t masterKey, std::string_view bytes);
    void PackBytes(std::string bytes, const std::filesystem::path& archivePath);
    bool Stopping() const { return shuttingDown && shuttingDown(); }

    IHost& host_;
    TDMM2& data_;
    TCatList& categories_;
    std::filesystem::path programDirectory_;
    PendingTitleSettings pending_;
    TMidiData midiData_;
    StoredTuneIndex tunes_;
    int batches_ = 0;        // open AddBatches
    bool unflushed_ = false; // a title was added since the last flush
};

} // namespace tunquil
