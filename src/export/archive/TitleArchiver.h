#pragma once
// ZIP archives of titles: the selected titles are staged as MIDI files named after their
// title texts and written into one archive (a new one, or an existing one that is extended).
// Progress and the user's cancel reach it through the host.

#include "base/Host.h"
#include "base/ProgramDirectory.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;

class TitleArchiver {
public:
    TitleArchiver(IHost& host, TMyDB& db, std::filesystem::path programDirectory);

    std::function<bool()> shuttingDown = [] { return false; };
    // Lets the play program start a title it deferred while the database was busy.
    std::function<void()> startDeferredTitle;

    // Writes or extends the archive `name` (".zip" appended unless the name holds ".zip" in
    // any case) from the files. False for an empty list; throws EZipError or EZipAborted.
    bool WriteArchive(const std::vector<std::filesystem::path>& files, const std::string& name);
    // Entries the last WriteArchive really added (names already held are skipped).
    int LastAdded() const { return lastAdded_; }

    enum class Outcome {
        Completed,
        Failed,
        CancelledWhileWriting,
        CancelledWhileStaging,
        NothingToArchive
    };
    // The archive command once the user has chosen the file: an empty selection is told and
    // nothing is written.
    Outcome ArchiveTitles(const std::vector<std::string>& keys, const std::string& archiveName);
    // The caption of the save dialog that asks for the archive's name.
    static std::string SaveDialogTitle(std::size_t titleCount);
    // Stages the titles (master keys as decimal text), writes the archive and tells the user
    // how it went. Unknown keys are skipped.
    Outcome BuildTitleArchive(const std::string& archiveName, const std::vector<std::string>& keys);
    // The text shown at the end of the last BuildTitleArchive ("" when cancelled while staging).
    const std::string& LastMessage() const { return lastMessage_; }

    std::filesystem::path StagingDirectory() const { return TrashDirectory(programDirectory_); }

private:
    void ClearStagedFiles();
    bool Cancelled() { return (shuttingDown && shuttingDown()) || host_.CancelRequested(); }

    IHost& host_;
    TMyDB& db_;
    std::filesystem::path programDirectory_;
    int lastAdded_ = 0;
    std::string lastMessage_;
    std::string writingCaption_;
};

} // namespace tunquil
