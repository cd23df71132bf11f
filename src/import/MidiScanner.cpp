#include "import/MidiScanner.h"

#include "base/Text.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "import/TitleImporter.h"

#include <algorithm>
#include <ctime>

namespace tunquil {

namespace {

// Unlocks the main window however the scan ends.
class WindowLock {
public:
    explicit WindowLock(const std::function<void(bool)>& lock) : lock_(lock) {
        if (lock_)
            lock_(true);
    }
    ~WindowLock() {
        if (lock_)
            lock_(false);
    }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

private:
    const std::function<void(bool)>& lock_;
};

} // namespace

bool IsValidScanArtist(const std::string& text) {
    std::string t = Trim(text);
    return t.size() >= 2 || (t.size() == 1 && t != ",");
}

bool IsValidScanCategory(const std::string& text) {
    std::string t = Trim(text);
    return !t.empty() && t.find('&') == std::string::npos;
}

MidiScanner::MidiScanner(IHost& host, TitleImporter& importer, TDMM2& data, TCatList& categories,
                         std::filesystem::path programDirectory, platform::IDrives& drives,
                         IDirectoryReader& reader)
    : host_(host), importer_(importer), data_(data), categories_(categories),
      programDirectory_(std::move(programDirectory)), drives_(drives), reader_(reader) {}

bool MidiScanner::SearchStopping() {
    return searchStop_ || importStop_ || host_.CancelRequested() ||
           (importer_.shuttingDown && importer_.shuttingDown());
}

bool MidiScanner::ImportStopping() {
    return importStop_ || host_.CancelRequested() ||
           (importer_.shuttingDown && importer_.shuttingDown());
}

std::string MidiScanner::FullScanCategoryName() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[64] = {};
    std::strftime(date, sizeof date, "%x", &local);
    return std::string("FullScan ") + date;
}

FileSearch MidiScanner::NewSearch(std::vector<std::string>& found) {
    FileSearch search(reader_);
    // Its work folders hold copies of stored titles and the tune being played: scanning them
    // would file the library's own tunes a second time.
    DirectoryIdentity own;
    if (IdentityOfDirectory(programDirectory_.string(), own))
        search.Exclude(own);
    search.stopRequested = [this] { return SearchStopping(); };
    search.onFile = [&found](const std::string& path) { found.push_back(path); };
    return search;
}

void MidiScanner::Import(std::vector<std::string>& found, bool checkDuplicates,
                         ScanOutcome& outcome) {
    const int total = static_cast<int>(found.size());
    int ordinal = 0;
    // Each file is counted and told only once its title is on disk.
    TitleImporter::AddBatch batch(importer_,
                                  [&](const std::string& path, const std::string& status) {
                                      CountImport(outcome, status);
                                      if (onImported)
                                          onImported(path, status);
                                  });
    for (const auto& path : found) {
        // The window's Stop and the program's closing reach us only if events get through.
        host_.ProcessEvents();
        if (ImportStopping()) {
            batch.Finish();
            return;
        }
        ++ordinal;
        if (onImportProgress)
            onImportProgress(ordinal, total);
        std::string name = std::filesystem::path(path).filename().string();
        std::string status;
        try {
            status = importer_.ImportMusicFile(path, name, path, "", "", true, checkDuplicates);
        } catch (const std::exception& e) {
            status = e.what(); // this file's trouble; the scan goes on with the next
        }
        batch.Report(path, status);
    }
    batch.Finish();
    outcome.importComplete = !ImportStopping();
}

ScanOutcome MidiScanner::ScanDirectory(const std::filesystem::path& directory, bool checkDuplicates,
                                       const std::string& lastName, const std::string& firstName,
                                       const std::string& categoryName) {
    WindowLock lock(lockWindow);
    ScanOutcome outcome;
    std::vector<std::string> found;
    FileSearch search = NewSearch(found);
    search.onDirectory = [&] {
        if (onSearchCounts)
            onSearchCounts(search.directories, search.files);
        host_.ProcessEvents();
    };
    auto result = search.Search(directory.string());
    outcome.directories = search.directories;
    outcome.unreadable = search.unreadable;
    if (result == FileSearch::Result::NotFound) {
        host_.ShowMessage("Could not find directory: " + directory.string(), TMsgDlgType::mtError,
                          0, mbOK);
        return outcome;
    }
    outcome.searchComplete = result == FileSearch::Result::Completed;
    outcome.found = static_cast<int>(found.size());
    if (found.empty()) {
        outcome.importComplete = outcome.searchComplete;
        return outcome;
    }
    std::stable_sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        return CompareTextIgnoringCase(a, b) < 0;
    });
    if (onImportStart)
        onImportStart(outcome.found);
    importer_.SetPendingTitleSettings("", "", data_.Performers().FindOrAdd(firstName, lastName),
                                      categories_.AddCategory(categoryName));
    if (onCategoriesChanged)
        onCategoriesChanged();
    Import(found, checkDuplicates, outcome);
    if (onCategoriesChanged)
        onCategoriesChanged();
    return outcome;
}

ScanOutcome MidiScanner::ScanSystem(bool checkDuplicates) {
    WindowLock lock(lockWindow);
    ScanOutcome outcome;
    std::vector<std::string> found;
    rows_.clear();
    const auto drives = drives_.LocalDrives();
    for (const auto& drive : drives) {
        ScanDriveRow row;
        row.drive = drive.root.string();
        rows_.push_back(row);
    }
    auto showRows = [&] {
        if (onDriveRows)
            onDriveRows(rows_);
    };
    showRows();

    // One search for every drive: a folder that two mounts show (a bind mount) is searched once.
    FileSearch search = NewSearch(found);
    bool everyDriveSearched = true;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        ScanDriveRow& row = rows_[i];
        if (SearchStopping()) {
            everyDriveSearched = false;
            continue;
        }
        if (!drives_.IsReady(drives[i].root)) {
            row.action = kScanActionNotReady;
            everyDriveSearched = false;
            showRows();
            continue;
        }
        row.action = kScanActionInProcess;
        showRows();
        const int dirsBefore = search.directories, filesBefore = search.files;
        search.onDirectory = [&] {
            row.directories = search.directories - dirsBefore;
            row.files = search.files - filesBefore;
            showRows();
            if (onSearchCounts)
                onSearchCounts(search.directories, search.files);
            host_.ProcessEvents();
        };
        auto result = search.Search(drives[i].root.string());
        row.directories = search.directories - dirsBefore;
        row.files = search.files - filesBefore;
        switch (result) {
        case FileSearch::Result::Completed:
            row.action = kScanActionDone;
            break;
        case FileSearch::Result::Stopped:
            row.action = kScanActionStopped;
            everyDriveSearched = false;
            break;
        case FileSearch::Result::NotFound:
            row.action = kScanActionNotReady;
            everyDriveSearched = false;
            break;
        }
        showRows();
    }
    outcome.directories = search.directories;
    outcome.unreadable = search.unreadable;
    outcome.searchComplete = everyDriveSearched;
    outcome.found = static_cast<int>(found.size());
    if (found.empty()) {
        outcome.importComplete = !ImportStopping();
    } else {
        std::stable_sort(found.begin(), found.end(),
                         [](const std::string& a, const std::string& b) {
                             return CompareTextIgnoringCase(a, b) < 0;
                         });
        if (onImportStart)
            onImportStart(outcome.found);
        importer_.SetPendingTitleSettings("", "", data_.Performers().FindOrAdd("", "TBD"),
                                          categories_.AddCategory(FullScanCategoryName()));
        if (onCategoriesChanged)
            onCategoriesChanged();
        Import(found, checkDuplicates, outcome);
        if (onCategoriesChanged)
            onCategoriesChanged();
    }
    // Only a scan that saw every drive to its end stops the reminder: a stopped scan, or one
    // that missed a drive, has not found the user's tunes.
    outcome.fullScanDone = outcome.searchComplete && outcome.importComplete;
    return outcome;
}

void CountImport(ScanOutcome& outcome, const std::string& status) {
    if (status == kStatusOk)
        ++outcome.added;
    else if (status == kStatusDuplicate)
        ++outcome.duplicates;
    else if (!status.empty())
        ++outcome.failed;
}

std::string ScanSummary(const ScanOutcome& outcome) {
    auto count = [](int n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text =
        std::to_string(outcome.found) + " found, " + std::to_string(outcome.added) + " added";
    if (outcome.duplicates > 0)
        text += ", " + count(outcome.duplicates, "skipped as a duplicate", "skipped as duplicates");
    if (outcome.failed > 0)
        text += ", " + std::to_string(outcome.failed) + " unreadable";
    return text;
}

} // namespace tunquil
