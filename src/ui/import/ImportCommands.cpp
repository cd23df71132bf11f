#include "ui/import/ImportCommands.h"

#include "app/SingleInstance.h"
#include "app/TunquilSettings.h"
#include "base/IniFile.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "database/TDMM2.h"
#include "database/TMusicLibrary.h"
#include "database/TPerfList.h"
#include "database/TTitleViews.h"
#include "export/archive/TAbUnZipper.h"
#include "import/FileSearch.h"
#include "import/MidiScanner.h"
#include "import/TitleImporter.h"
#include "integration/CommandProcessor.h"
#include "ui/WidgetHost.h"
#include "ui/controls/MenuItems.h"
#include "ui/export/TArchiveForm.h"
#include "ui/import/StartFolder.h"
#include "ui/import/TDriveScanFrm.h"
#include "ui/import/TGetLocalF.h"
#include "ui/import/TScanStatus.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <optional>

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

ImportCommands::ImportCommands(IMasterWindow& window) : window_(window) {}

ImportCommands::~ImportCommands() = default;

void ImportCommands::AddFileItems(QMenu* menu) {
    Item(menu, "&Open", this, [this] { OpenLocalFiles(); });
    Item(menu, "Scan a &drive for MIDI files...", this, [this] { ScanDrive(); });
    Item(menu, "&Scan system for MIDI files...", this, [this] { ScanSystem(); });
}

platform::IDrives& ImportCommands::DriveLayer() {
    if (!drives_)
        drives_ = std::make_unique<platform::SystemDrives>();
    return *drives_;
}

// ------------------------------------------------------------------ scans

template <class ScanWindow, class OnScan>
void ImportCommands::RunScanWindow(ScanWindow& frm, OnScan onScan) {
    MidiScanner scanner(window_.Host(), *window_.Importer(), window_.Library().Data(),
                        window_.Library().Categories(), window_.ProgramDirectory(), DriveLayer());
    scanner.lockWindow = [this](bool locked) { locked ? window_.Lock() : window_.Unlock(); };
    scanner.onCategoriesChanged = [this] { window_.Views()->FinishBatch(); };
    std::optional<ScanOutcome> outcome;
    frm.onScan = [&](auto... choices) {
        RunShowingFailure(window_.Host(), "", [&] { outcome = onScan(scanner, choices...); });
    };
    frm.Attach(scanner);
    CentreOver(frm, *window_.Widget());
    frm.exec();
    frm.Detach();
    window_.Views()->FinishBatch();
    // The scan ends with what it did.
    if (outcome)
        window_.Host().Status(ScanSummary(*outcome));
}

void ImportCommands::ScanDrive() {
    if (!window_.StartedUp() || !window_.Importer() || window_.Locked())
        return;
    TDriveScanFrm frm(window_.Host(), DriveLayer(), window_.Widget());
    frm.SetDirectory(
        StartFolder(ReadLastFolder(window_.ProgramDirectory(), "Scan"), QDir::homePath()));
    std::vector<std::string> names, keys;
    window_.Library().Categories().FillNameLists(names, keys);
    std::vector<std::string> firsts, lasts, pks;
    window_.Library().Data().Performers().FillNameLists(firsts, lasts, pks);
    std::vector<std::pair<std::string, std::string>> performers;
    for (std::size_t i = 0; i < firsts.size(); ++i)
        performers.emplace_back(firsts[i], lasts[i]);
    frm.Prepare(names, performers);
    RunScanWindow(frm, [this](MidiScanner& scanner, const TDriveScanFrm::Choices& choices) {
        WriteLastFolder(window_.ProgramDirectory(), "Scan",
                        QString::fromStdString(choices.directory));
        return scanner.ScanDirectory(choices.directory, choices.checkDuplicates, choices.lastName,
                                     choices.firstName, choices.category);
    });
}

void ImportCommands::ScanSystem() {
    if (!window_.StartedUp() || !window_.Importer() || window_.Locked())
        return;
    TScanStatus frm(window_.Widget());
    frm.Prepare();
    RunScanWindow(frm, [this](MidiScanner& scanner, bool checkDuplicates) {
        ScanOutcome outcome = scanner.ScanSystem(checkDuplicates);
        if (!outcome.fullScanDone)
            return outcome;
        // Kept at once, not only at shut-down: the reminder must not come back after a crash
        // once every drive has been searched.
        window_.StartSettings().fullScanDone = true;
        IniFile ini(SettingsPath(window_.ProgramDirectory()));
        ini.WriteBool("Setup", "FullScanDone", true);
        ini.UpdateFile();
        return outcome;
    });
}

// ------------------------------------------------------------------ the import dispatcher

std::string ImportCommands::ImportShowingProgress(const fs::path& path, const std::string& title,
                                                  const std::string& origin,
                                                  const std::string& performer,
                                                  const std::string& category, bool assign,
                                                  bool addOption) {
    const std::string upper = UpperAscii(path.string());
    const bool archive = upper.find(".MID") == std::string::npos && !IsKaraokeFileName(path) &&
                         upper.find(".ZIP") != std::string::npos;
    int count = archive ? ArchiveEntries(path) : 0;
    if (count < kArchiveWindowEntries)
        return window_.Importer()->ImportMusicFile(path, title, origin, performer, category, assign,
                                                   addOption);
    TArchiveForm form(window_.Host(), window_.Widget());
    CentreOver(form, *window_.Widget());
    TitleImporter& importer = *window_.Importer();
    std::string result = form.ImportArchive(count, [&](IHost& shown) {
        // An importer of its own reports to the window; the settings for new titles pass
        // through it and come back.
        TitleImporter withWindow(shown, window_.Library().Data(), window_.Library().Categories(),
                                 window_.ProgramDirectory());
        withWindow.shuttingDown = importer.shuttingDown;
        withWindow.Pending() = importer.Pending();
        std::string imported =
            withWindow.ImportMusicFile(path, title, origin, performer, category, assign, addOption);
        importer.Pending() = withWindow.Pending();
        return imported;
    });
    window_.Views()->FinishBatch();
    return result;
}

// ------------------------------------------------------------------ the Load command

void ImportCommands::OpenLocalFiles() {
    if (!window_.StartedUp() || !window_.Importer() || window_.Locked())
        return;
    if (!getLocal_) {
        getLocal_ = new TGetLocalF(window_.Host(), DriveLayer(), window_.Widget());
        getLocal_->onApply = [this](int32_t pk, int32_t ck) {
            window_.Importer()->SetPendingTitleSettings("", "", pk, ck);
        };
        getLocal_->SetDirectory(
            StartFolder(ReadLastFolder(window_.ProgramDirectory(), "Load"), QDir::homePath()));
    }
    TGetLocalF& frm = *getLocal_;
    frm.Prepare(window_.Library().Categories(), window_.Library().Data().Performers());
    QRect frame = window_.Widget()->geometry();
    int left = frame.left() + (frame.width() - frm.width()) / 2;
    int top = frame.top() + (frame.height() - frm.height()) / 2;
    QScreen* screen = window_.Widget()->screen();
    int screenHeight = screen ? screen->geometry().height() : top + frm.height();
    if (top + frm.height() > screenHeight)
        top = screenHeight - frm.height() - 30;
    if (top < 0)
        top = 2;
    frm.move(left, top);
    const bool accepted = frm.exec() == QDialog::Accepted;
    if (accepted) {
        try {
            WriteLastFolder(window_.ProgramDirectory(), "Load", frm.Directory());
        } catch (const std::exception&) {
            // Only the remembered folder is lost; shut-down reports a settings file it cannot
            // write.
        }
    }
    if (!accepted || frm.Targets().isEmpty()) {
        DropUnusedCategory(frm.AddedCategory());
        return;
    }

    const QStringList entries = frm.Targets();
    const bool batch = entries.size() > 1;
    window_.Widget()->repaint();
    IHost& host = window_.Host();
    QProgressBar* progress = window_.ProgressBar();
    CommandLock lock(window_);
    BusyScope busy(host);
    host.Status("Importing files...");
    progress->setRange(0, static_cast<int>(entries.size()) - 1);
    progress->setValue(0);
    progress->show();
    std::vector<std::string> passedOver;
    ScanOutcome done;
    done.found = static_cast<int>(entries.size());
    // Titles added are counted in the database: an archive adds several.
    const int before = window_.Library().Database().LiveCount();
    RunShowingFailure(host, "", [&] {
        for (int i = 0; i < entries.size(); ++i) {
            if (window_.Copy().ShuttingDown())
                return;
            progress->setValue(i);
            const fs::path path(QFile::encodeName(entries[i]).toStdString());
            const std::string upper = UpperAscii(path.string());
            // The dispatcher passes over what is neither a MIDI file (".mid", ".kar", ".rmi")
            // nor an archive (anything picked under "All files"); the user is told which.
            if (upper.find(".MID") == std::string::npos &&
                upper.find(".RMI") == std::string::npos && !IsKaraokeFileName(path) &&
                upper.find(".ZIP") == std::string::npos) {
                passedOver.push_back(path.string());
                continue;
            }
            CountImport(done, ImportShowingProgress(path, path.filename().string(), path.string(),
                                                    "", "", batch, frm.RefuseDuplicates()));
            host.ProcessEvents();
        }
        if (UpperAscii(entries.front().toStdString()).find(".ZIP") != std::string::npos || batch)
            window_.Views()->FinishBatch();
        frm.ClearTargets();
    });
    done.added = window_.Library().Database().LiveCount() - before;
    host.Status("Done: " + ScanSummary(done));
    progress->setValue(0);
    progress->hide();
    DropUnusedCategory(frm.AddedCategory());
    if (!passedOver.empty()) {
        std::string text = passedOver.size() == 1 ? "This file was not added to the database:"
                                                  : "These files were not added to the database:";
        for (const std::string& path : passedOver)
            text += "\\n" + path;
        text +=
            "\\n\\nOnly MIDI files (*.mid, *.kar, *.rmi) and ZIP archives of them can be added.";
        host.ShowMessage(text, TMsgDlgType::mtInformation, 0, mbOK);
    }
}

void ImportCommands::DropUnusedCategory(int32_t ck) {
    if (ck == 0 || window_.Library().Database().CategoryUsed(ck))
        return;
    RunShowingFailure(window_.Host(), "Saving categories: ", [&] {
        window_.Library().Categories().DeleteCategory(ck);
        window_.Library().Categories().Save();
    });
    // The next import must not file titles under the key that is gone.
    if (window_.Importer() && window_.Importer()->Pending().ck == ck)
        window_.Importer()->Pending().ck = 0;
    window_.Views()->FinishBatch();
}

// ------------------------------------------------------------------ drops from the desktop

bool ImportCommands::AcceptsDrop(const QMimeData* data) const {
    return window_.StartedUp() && !window_.Locked() && !DroppedPaths(data).empty();
}

bool ImportCommands::Drop(const QMimeData* data) {
    std::vector<fs::path> paths = DroppedPaths(data);
    if (!window_.StartedUp() || window_.Locked() || paths.empty())
        return false;
    // The file manager waits until the drop returns: the import runs after it.
    QTimer::singleShot(0, this, [this, paths] { ImportDroppedPaths(paths); });
    return true;
}

void ImportCommands::ImportDroppedPaths(const std::vector<fs::path>& paths) {
    if (!window_.Importer() || window_.Locked())
        return;
    IHost& host = window_.Host();
    QProgressBar* progress = window_.ProgressBar();
    CommandLock lock(window_);
    BusyScope busy(host);
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
        search.onDirectory = [&host] { host.ProcessEvents(); };
        search.Search(path.string());
        std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            return CompareTextIgnoringCase(a, b) < 0;
        });
        files.insert(files.end(), found.begin(), found.end());
    }
    ScanOutcome done;
    done.found = static_cast<int>(files.size());
    const int before = window_.Library().Database().LiveCount();
    if (!files.empty()) {
        host.Status("Importing drag/drop files...");
        progress->setRange(0, static_cast<int>(files.size()) - 1);
        progress->setValue(0);
        progress->show();
        DropTarget target;
        target.import = [this, &done](const fs::path& path, const std::string& title,
                                      const std::string& origin, const std::string& performer,
                                      const std::string& category, bool assign, bool addOption) {
            std::string status =
                ImportShowingProgress(path, title, origin, performer, category, assign, addOption);
            CountImport(done, status);
            return status;
        };
        target.caption = [this] {
            SelectionNames names = window_.Names();
            return names.categoryTab > 0 ? names.categoryCaption : std::string();
        };
        CommandProcessor commands(host, target);
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (window_.Copy().ShuttingDown())
                break;
            commands.ImportDroppedFile(files[i]);
            progress->setValue(static_cast<int>(i));
            host.ProcessEvents();
        }
        window_.Views()->FinishBatch();
    }
    progress->hide();
    progress->setValue(0);
    done.added = window_.Library().Database().LiveCount() - before;
    host.Status("Done: " + ScanSummary(done));
}

} // namespace tunquil::ui
