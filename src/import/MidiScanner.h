#pragma once
// The drive scan and the system scan without their windows: search for MIDI files ("*.mid",
// "*.kar"), then import every file found, quietly, in sorted order. Windows and tunquilctl watch
// through the callbacks and stop through StopSearch and StopImport.

#include "base/Host.h"
#include "import/FileSearch.h"
#include "platform/Drives.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tunquil {

class TitleImporter;
class TDMM2;
class TCatList;

inline constexpr const char* kScanActionPending = "Pending";
inline constexpr const char* kScanActionInProcess = "In process";
inline constexpr const char* kScanActionDone = "Done";
inline constexpr const char* kScanActionStopped = "Stopped";
inline constexpr const char* kScanActionNotReady = "Not ready";

// One row of the system scan's drive list.
struct ScanDriveRow {
    std::string drive; // the mount point
    std::string type = kMidiFileMasks;
    std::string action = kScanActionPending;
    int directories = 0;
    int files = 0;
};

struct ScanOutcome {
    int found = 0;
    int added = 0;      // files that became titles
    int duplicates = 0; // files passed over as titles the database holds already
    int failed = 0;     // files that could not be read or were not tunes
    int directories = 0;
    int unreadable = 0;          // folders skipped because they could not be read
    bool searchComplete = false; // every folder (every drive) searched to its end
    bool importComplete = false; // every file found went through the import
    bool fullScanDone = false;   // a system scan that did both
};

// What a scan or a load did, as a line for the status bar: "12 found, 10 added, 1 skipped as
// a duplicate, 1 unreadable" (the parts that are zero left out, but the added count).
std::string ScanSummary(const ScanOutcome& outcome);
// Counts the import status of one file (TitleImporter's) into `outcome`: added, a duplicate,
// or failed; an empty status (the user chose not to add a duplicate) counts as none.
void CountImport(ScanOutcome& outcome, const std::string& status);

// What the drive scan accepts as a typed artist: trimmed, two characters or more, or one that
// is not a comma. Split with SplitArtistText.
bool IsValidScanArtist(const std::string& text);
// A typed category: not blank and without "&" (which would turn into a tab's accelerator).
bool IsValidScanCategory(const std::string& text);
inline constexpr const char* kScanInvalidInfo =
    "Please enter a valid artist and category for scanned MIDIs";

class MidiScanner {
public:
    MidiScanner(IHost& host, TitleImporter& importer, TDMM2& data, TCatList& categories,
                std::filesystem::path programDirectory, platform::IDrives& drives,
                IDirectoryReader& reader = SystemDirectoryReaderInstance());

    // The search "Stop": the search ends, what was found is still imported.
    void StopSearch() { searchStop_ = true; }
    // The import "Stop" (and closing the window): the scan ends before the next file.
    void StopImport() {
        searchStop_ = true;
        importStop_ = true;
    }

    // The main window is locked for the whole scan (true) and unlocked in every case (false).
    std::function<void(bool locked)> lockWindow;
    std::function<void(int directories, int files)> onSearchCounts;
    std::function<void(const std::vector<ScanDriveRow>& rows)> onDriveRows;
    // The search is over and the import begins: `total` files, in sorted order.
    std::function<void(int total)> onImportStart;
    std::function<void(int ordinal, int total)> onImportProgress;
    std::function<void(const std::string& path, const std::string& status)> onImported;
    std::function<void()> onCategoriesChanged;

    // Searches `directory` and below it and files what it finds under the artist and category
    // given. "Could not find directory: " + directory (error) when it cannot be read.
    ScanOutcome ScanDirectory(const std::filesystem::path& directory, bool checkDuplicates,
                              const std::string& lastName, const std::string& firstName,
                              const std::string& categoryName);
    // Searches every local drive and files what it finds under "FullScan " + today's date and
    // the performer "TBD". The caller keeps FullScanDone from the outcome.
    ScanOutcome ScanSystem(bool checkDuplicates);

    const std::vector<ScanDriveRow>& DriveRows() const { return rows_; }
    // "FullScan " followed by the date in the short date format.
    static std::string FullScanCategoryName();

private:
    FileSearch NewSearch(std::vector<std::string>& found);
    void Import(std::vector<std::string>& found, bool checkDuplicates, ScanOutcome& outcome);
    bool SearchStopping();
    bool ImportStopping();

    IHost& host_;
    TitleImporter& importer_;
    TDMM2& data_;
    TCatList& categories_;
    std::filesystem::path programDirectory_;
    platform::IDrives& drives_;
    IDirectoryReader& reader_;
    std::vector<ScanDriveRow> rows_;
    bool searchStop_ = false;
    bool importStop_ = false;
};

} // namespace tunquil
