// The main window's ways in for tunes: the add-local-files window, the drive and system scans
// and files dropped from the desktop.

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "database/TDMM2.h"
#include "database/TPerfList.h"
#include "export/archive/TAbUnZipper.h"
#include "import/FileSearch.h"
#include "import/MidiScanner.h"
#include "import/TitleImporter.h"
#include "integration/CommandProcessor.h"
#include "ui/app/TMasterFrm.h"
#include "ui/export/TArchiveForm.h"
#include "ui/import/TDriveScanFrm.h"
#include "ui/import/TGetLocalF.h"
#include "ui/import/TScanStatus.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace tunquil::ui {

namespace {

// An archive of fewer entries is imported under the hourglass alone.
constexpr int kArchiveWindowEntries = 5;

void CentreOver(QWidget& dialog, const QWidget& window) {
    QRect frame = window.geometry();
    dialog.move(frame.left() + (frame.width() - dialog.width()) / 2,
                frame.top() + (frame.height() - dialog.height()) / 2);
}

// The local paths of a drop, whole and in the order given; anything else is left out.
std::vector<fs::path> DroppedPaths(const QMimeData* data) {
    std::vector<fs::path> paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

int ArchiveEntries(const fs::path& path) {
    try {
        TAbUnZipper unzipper;
        unzipper.Open(path);
        return unzipper.Count();
    } catch (const std::exception&) {
        return 0; // the import itself says what is wrong with it
    }
}

// What a drop needs of the window: the import (with the archive's progress window) and the
// caption of the category shown.
class DropTarget : public ICommandTarget {
public:
    std::function<std::string(const fs::path&, const std::string&, const std::string&,
                              const std::string&, const std::string&, bool, bool)>
        import;
    std::function<std::string()> caption;

    bool FindByOrigin(const std::string&, int32_t&) override { return false; }
    int32_t HighestMasterKey() override { return 0; }
    std::string ImportMusicFile(const fs::path& path, const std::string& title,
                                const std::string& origin, const std::string& performerName,
                                const std::string& categoryName, bool assign,
                                bool addOption) override {
        return import(path, title, origin, performerName, categoryName, assign, addOption);
    }
    void SetAutoLooping(bool) override {}
    void PlayAtFront(int32_t, bool) override {}
    void MailTitles(const std::vector<int>&) override {}
    void RefreshViews() override {} // once after the whole drop
    void TellPluginBadFile() override {}
    std::string ActiveCategoryCaption() override { return caption(); }
};

} // namespace

platform::IDrives& TMasterFrm::DriveLayer() {
    if (!drives_)
        drives_ = std::make_unique<platform::SystemDrives>();
    return *drives_;
}

// ------------------------------------------------------------------ scans

void TMasterFrm::ScanDrive() {
    if (!startedUp_ || !importer_ || Locked())
        return;
    TDriveScanFrm frm(host_, DriveLayer(), this);
    // It starts in the working directory, as the add-local-files window does.
    frm.SetDirectory(QDir::currentPath());
    std::vector<std::string> names, keys;
    library_.Categories().FillNameLists(names, keys);
    std::vector<std::string> firsts, lasts, pks;
    DataModule()->Performers().FillNameLists(firsts, lasts, pks);
    std::vector<std::pair<std::string, std::string>> performers;
    for (std::size_t i = 0; i < firsts.size(); ++i)
        performers.emplace_back(firsts[i], lasts[i]);
    frm.Prepare(names, performers);

    MidiScanner scanner(host_, *importer_, *DataModule(), library_.Categories(), programDirectory_,
                        DriveLayer());
    scanner.lockWindow = [this](bool locked) { locked ? Lock() : Unlock(); };
    scanner.onCategoriesChanged = [this] { views_->FinishBatch(); };
    frm.onScan = [&](const TDriveScanFrm::Choices& choices) {
        RunShowingFailure(host_, "", [&] {
            scanner.ScanDirectory(choices.directory, choices.checkDuplicates, choices.lastName,
                                  choices.firstName, choices.category);
        });
    };
    frm.Attach(scanner);
    CentreOver(frm, *this);
    frm.exec();
    frm.Detach();
    views_->FinishBatch();
}

void TMasterFrm::ScanSystem() {
    if (!startedUp_ || !importer_ || Locked())
        return;
    TScanStatus frm(this);
    frm.Prepare();
    MidiScanner scanner(host_, *importer_, *DataModule(), library_.Categories(), programDirectory_,
                        DriveLayer());
    scanner.lockWindow = [this](bool locked) { locked ? Lock() : Unlock(); };
    scanner.onCategoriesChanged = [this] { views_->FinishBatch(); };
    frm.onScan = [&](bool checkDuplicates) {
        RunShowingFailure(host_, "", [&] {
            if (!scanner.ScanSystem(checkDuplicates).fullScanDone)
                return;
            // Kept at once, not only at shut-down: the reminder must not come back after a
            // crash once every drive has been searched.
            startSettings_.fullScanDone = true;
            IniFile ini(SettingsPath(programDirectory_));
            ini.WriteBool("Setup", "FullScanDone", true);
            ini.UpdateFile();
        });
    };
    frm.Attach(scanner);
    CentreOver(frm, *this);
    frm.exec();
    frm.Detach();
    views_->FinishBatch();
}

// ------------------------------------------------------------------ the import dispatcher

std::string TMasterFrm::ImportShowingProgress(const fs::path& path, const std::string& title,
                                              const std::string& origin,
                                              const std::string& performer,
                                              const std::string& category, bool assign,
                                              bool addOption) {
    const std::string upper = UpperAscii(path.string());
    const bool archive =
        upper.find(".MID") == std::string::npos && upper.find(".ZIP") != std::string::npos;
    int count = archive ? ArchiveEntries(path) : 0;
    if (count < kArchiveWindowEntries)
        return importer_->ImportMusicFile(path, title, origin, performer, category, assign,
                                          addOption);
    TArchiveForm form(host_, this);
    CentreOver(form, *this);
    std::string result = form.ImportArchive(count, [&](IHost& shown) {
        // An importer of its own reports to the window; the settings for new titles pass
        // through it and come back.
        TitleImporter withWindow(shown, *DataModule(), library_.Categories(), programDirectory_);
        withWindow.shuttingDown = importer_->shuttingDown;
        withWindow.Pending() = importer_->Pending();
        std::string imported =
            withWindow.ImportMusicFile(path, title, origin, performer, category, assign, addOption);
        importer_->Pending() = withWindow.Pending();
        return imported;
    });
    views_->FinishBatch();
    return result;
}

// ------------------------------------------------------------------ the Load command

void TMasterFrm::OpenLocalFiles() {
    if (!startedUp_ || !importer_ || Locked())
        return;
    if (!getLocal_) {
        getLocal_ = new TGetLocalF(host_, DriveLayer(), this);
        getLocal_->onApply = [this](int32_t pk, int32_t ck) {
            importer_->SetPendingTitleSettings("", "", pk, ck);
        };
    }
    TGetLocalF& frm = *getLocal_;
    frm.Prepare(library_.Categories(), DataModule()->Performers());
    QRect frame = geometry();
    int left = frame.left() + (frame.width() - frm.width()) / 2;
    int top = frame.top() + (frame.height() - frm.height()) / 2;
    int screenHeight = screen() ? screen()->geometry().height() : top + frm.height();
    if (top + frm.height() > screenHeight)
        top = screenHeight - frm.height() - 30;
    if (top < 0)
        top = 2;
    frm.move(left, top);
    if (frm.exec() != QDialog::Accepted || frm.Targets().isEmpty())
        return;

    const QStringList entries = frm.Targets();
    const bool batch = entries.size() > 1;
    repaint();
    CommandLock lock(*this);
    BusyScope busy(host_);
    host_.Status("Importing files...");
    progress_->setRange(0, static_cast<int>(entries.size()) - 1);
    progress_->setValue(0);
    progress_->show();
    std::vector<std::string> passedOver;
    RunShowingFailure(host_, "", [&] {
        for (int i = 0; i < entries.size(); ++i) {
            if (copy_->ShuttingDown())
                return;
            progress_->setValue(i);
            const fs::path path(QFile::encodeName(entries[i]).toStdString());
            const std::string upper = UpperAscii(path.string());
            // The dispatcher passes over what is neither a MIDI file nor an archive (".rmi"
            // files, anything picked under "All files"); the user is told which.
            if (upper.find(".MID") == std::string::npos &&
                upper.find(".ZIP") == std::string::npos) {
                passedOver.push_back(path.string());
                continue;
            }
            ImportShowingProgress(path, path.filename().string(), path.string(), "", "", batch,
                                  frm.RefuseDuplicates());
            host_.ProcessEvents();
        }
        if (UpperAscii(entries.front().toStdString()).find(".ZIP") != std::string::npos || batch)
            views_->FinishBatch();
        frm.ClearTargets();
    });
    host_.Status("Done");
    progress_->setValue(0);
    progress_->hide();
    if (!passedOver.empty()) {
        std::string text = passedOver.size() == 1 ? "This file was not added to the database:"
                                                  : "These files were not added to the database:";
        for (const std::string& path : passedOver)
            text += "\\n" + path;
        text += "\\n\\nOnly MIDI files (*.mid) and ZIP archives of them can be added.";
        host_.ShowMessage(text, TMsgDlgType::mtInformation, 0, mbOK);
    }
}

// ------------------------------------------------------------------ drops from the desktop

void TMasterFrm::dragEnterEvent(QDragEnterEvent* event) {
    if (startedUp_ && !Locked() && !DroppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMasterFrm::dragMoveEvent(QDragMoveEvent* event) {
    if (startedUp_ && !Locked() && !DroppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMasterFrm::dropEvent(QDropEvent* event) {
    std::vector<fs::path> paths = DroppedPaths(event->mimeData());
    if (!startedUp_ || Locked() || paths.empty())
        return event->ignore();
    event->acceptProposedAction();
    // The file manager waits until the drop returns: the import runs after it.
    QTimer::singleShot(0, this, [this, paths] { ImportDroppedPaths(paths); });
}

void TMasterFrm::ImportDroppedPaths(const std::vector<fs::path>& paths) {
    if (!importer_ || Locked())
        return;
    CommandLock lock(*this);
    BusyScope busy(host_);
    // A folder stands for the MIDI files below it, in the order the scans take them.
    std::vector<fs::path> files;
    for (const fs::path& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        FileSearch search;
        search.onFile = [&](const std::string& file) { found.push_back(file); };
        search.onDirectory = [this] { host_.ProcessEvents(); };
        search.Search(path.string());
        std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return CompareTextIgnoringCase(a, b) < 0;
        });
        files.insert(files.end(), found.begin(), found.end());
    }
    if (!files.empty()) {
        host_.Status("Importing drag/drop files...");
        progress_->setRange(0, static_cast<int>(files.size()) - 1);
        progress_->setValue(0);
        progress_->show();
        DropTarget target;
        target.import = [this](const fs::path& path, const std::string& title,
                               const std::string& origin, const std::string& performer,
                               const std::string& category, bool assign, bool addOption) {
            return ImportShowingProgress(path, title, origin, performer, category, assign,
                                         addOption);
        };
        target.caption = [this] {
            int tab = Categories->currentIndex();
            return tab > 0 ? Categories->tabText(tab).toStdString() : std::string();
        };
        CommandProcessor commands(host_, target);
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (copy_->ShuttingDown())
                break;
            commands.ImportDroppedFile(files[i]);
            progress_->setValue(static_cast<int>(i));
            host_.ProcessEvents();
        }
        views_->FinishBatch();
    }
    progress_->hide();
    progress_->setValue(0);
    host_.Status("Done");
}

} // namespace tunquil::ui
