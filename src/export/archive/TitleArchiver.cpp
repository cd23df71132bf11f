#include "export/archive/TitleArchiver.h"

#include "base/Files.h"
#include "base/Text.h"
#include "database/DirectoryUtils.h"
#include "database/TMyDB.h"
#include "export/TitleExport.h"
#include "export/archive/TAbZipper.h"

namespace tunquil {

TitleArchiver::TitleArchiver(IHost& host, TMyDB& db, fs::path programDirectory)
    : host_(host), db_(db), programDirectory_(std::move(programDirectory)) {}

bool TitleArchiver::WriteArchive(const std::vector<fs::path>& files, const std::string& name) {
    lastAdded_ = 0;
    if (files.empty())
        return false;
    std::string archive = name;
    if (UpperAscii(archive).find(".ZIP") == std::string::npos)
        archive += ".zip";
    host_.Progress(0, writingCaption_);
    TAbZipper zipper;
    zipper.OnArchiveProgress = [&](int percent, bool& abort) {
        host_.ProcessEvents();
        abort = Cancelled();
        host_.Progress(percent, writingCaption_);
    };
    zipper.Open(archive);
    for (const auto& file : files)
        zipper.AddFile(file);
    int added = zipper.AddedCount();
    zipper.Save();
    lastAdded_ = added;
    return true;
}

TitleArchiver::Outcome TitleArchiver::ArchiveTitles(const std::vector<std::string>& keys,
                                                    const std::string& archiveName) {
    if (keys.empty()) {
        lastMessage_ = "No titles to archive!";
        host_.Beep();
        host_.ShowMessage(lastMessage_, TMsgDlgType::mtError, 0, mbOK);
        return Outcome::NothingToArchive;
    }
    return BuildTitleArchive(archiveName, keys);
}

std::string TitleArchiver::SaveDialogTitle(std::size_t titleCount) {
    return "Enter the name for this " + std::to_string(titleCount) + "-title archive...";
}

TitleArchiver::Outcome TitleArchiver::BuildTitleArchive(const std::string& archiveName,
                                                        const std::vector<std::string>& keys) {
    BusyScope busy(host_);
    lastMessage_.clear();
    const std::string n = std::to_string(keys.size());
    const std::string preparing = " Preparing " + n + " files for archiving ";
    writingCaption_ = " Archiving " + n + " files ";
    fs::path staging = StagingDirectory();
    std::error_code ec;
    fs::create_directories(staging, ec);

    std::vector<fs::path> files;
    TitleFileNames names(staging);
    bool cancelled = false;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        host_.Progress(static_cast<int>((i + 1) * 100 / keys.size()), preparing);
        host_.ProcessEvents();
        if (Cancelled()) {
            cancelled = true;
            break;
        }
        int32_t key = 0;
        try {
            std::size_t used = 0;
            std::string text = Trim(keys[i]);
            long value = std::stol(text, &used);
            if (used != text.size() || value <= 0 || value > INT32_MAX)
                continue;
            key = static_cast<int32_t>(value);
        } catch (const std::exception&) {
            continue;
        }
        TitleRecord record;
        if (!db_.ReadRecordByKey(key, record))
            continue;
        // The name comes from the title text; it must never climb out of the staging folder.
        fs::path midi = names.For(Trim(record.title), key);
        if (!ExportTitle(db_, host_, programDirectory_, key, midi, false))
            continue;
        files.push_back(midi);
        if (startDeferredTitle)
            startDeferredTitle();
        host_.ProcessEvents();
    }
    if (cancelled) {
        ClearStagedFiles();
        return Outcome::CancelledWhileStaging;
    }

    Outcome outcome = Outcome::Completed;
    try {
        if (!WriteArchive(files, archiveName))
            outcome = Outcome::Failed;
    } catch (const EZipAborted&) {
        outcome = Outcome::CancelledWhileWriting;
    } catch (const std::exception&) {
        outcome = Outcome::Failed;
    }
    switch (outcome) {
    case Outcome::Failed:
        lastMessage_ = "Archiving failed!  Check titles for unusual characters.";
        host_.ShowMessage(lastMessage_, TMsgDlgType::mtError, 0, mbOK);
        break;
    case Outcome::CancelledWhileWriting:
        lastMessage_ = "Archiving cancelled!";
        host_.ShowMessage(lastMessage_, TMsgDlgType::mtWarning, 0, mbOK);
        break;
    default: {
        lastMessage_ = "Archiving successfully completed!";
        auto prepared = static_cast<int>(files.size());
        if (lastAdded_ < prepared)
            lastMessage_ +=
                "\r\n\r\n   " + std::to_string(prepared - lastAdded_) + " duplicates were ignored";
        host_.ShowMessage(lastMessage_, TMsgDlgType::mtInformation, 0, mbOK);
        break;
    }
    }
    ClearStagedFiles();
    return outcome;
}

void TitleArchiver::ClearStagedFiles() {
    // Only the staged MIDI files go.
    ClearDirectory(host_, programDirectory_, StagingDirectory(), "*.mid");
}

} // namespace tunquil
