#include "ui/export/ExportCommands.h"

#include "app/SoundFontChoice.h"
#include "base/IniFile.h"
#include "base/Text.h"
#include "database/TMusicLibrary.h"
#include "database/TMyDB.h"
#include "export/DatabaseTitleExporter.h"
#include "export/TitleExport.h"
#include "export/TitleSaver.h"
#include "export/archive/ZipArchiveWriter.h"
#include "export/audio/AudioExporter.h"
#include "ui/WidgetHost.h"
#include "ui/controls/MenuItems.h"
#include "ui/export/AudioExportProgressWindow.h"
#include "ui/export/TAudioExportDialog.h"
#include "ui/export/TCreateArchiveForm.h"
#include "ui/export/TMailForm.h"
#include "ui/export/TSaveTitleDialog.h"
#include "ui/export/TTitlePrinter.h"

#include <QDir>
#include <QFileDialog>

namespace tunquil::ui {

namespace {

// The host a print job runs in. Closing the program while the report is being measured (it
// lets the window handle events between passes) must not leave the job reading a database
// that shut-down has closed: once the job is told to end, the next event pass ends it, and
// the report is dropped without a message.
class PrintJobHost : public IHost {
public:
    explicit PrintJobHost(IHost& window) : window_(window) {}

    void End() { ending_ = true; }
    void Start() { ending_ = false; }

    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override {
        if (ending_)
            return SafestAnswer(buttons);
        return window_.ShowMessage(text, type, helpContext, buttons);
    }
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override {
        return !ending_ && window_.InputText(caption, prompt, text);
    }
    void Progress(int percent, const std::string& what) override {
        window_.Progress(percent, what);
    }
    void Status(const std::string& text) override { window_.Status(text); }
    void SetBusy(bool busy) override { window_.SetBusy(busy); }
    void Beep() override { window_.Beep(); }
    void ProcessEvents() override {
        if (!ending_)
            window_.ProcessEvents();
        if (ending_)
            throw std::runtime_error("the program is closing");
    }

private:
    IHost& window_;
    bool ending_ = false;
};

QString Trimmed(const std::string& text) {
    return QString::fromStdString(text).trimmed();
}

} // namespace

struct ExportCommands::Windows {
    std::unique_ptr<PrintJobHost> printHost;
    std::unique_ptr<TTitlePrinter> printer;
    std::unique_ptr<TSaveTitleDialog> saveDialog;
    fs::path saveDirectory = QDir::homePath().toStdString();
    std::unique_ptr<DatabaseTitleExporter> mailExporter;
    ZipArchiveWriter mailArchiver;
    std::unique_ptr<TMailForm> mailForm;
    std::unique_ptr<TCreateArchiveForm> createArchiveForm;
    std::unique_ptr<TAudioExportDialog> audioDialog;
    bool printing = false;
};

ExportCommands::ExportCommands(IMasterWindow& window) : window_(window) {}

ExportCommands::~ExportCommands() = default;

ExportCommands::Windows& ExportCommands::Parts() {
    if (!windows_)
        windows_ = std::make_unique<Windows>();
    return *windows_;
}

TMailForm& ExportCommands::MailForm() {
    Windows& e = Parts();
    if (!e.mailForm) {
        e.mailExporter = std::make_unique<DatabaseTitleExporter>(
            window_.Library().Database(), window_.Host(), window_.ProgramDirectory(),
            &window_.Library().Categories());
        e.mailForm = std::make_unique<TMailForm>(window_.ProgramDirectory(), *e.mailExporter,
                                                 e.mailArchiver, nullptr, window_.Widget());
        e.mailForm->Mailer().shuttingDown = [this] { return window_.ClosingDown(); };
    }
    return *e.mailForm;
}

TTitlePrinter& ExportCommands::TitlePrinter() {
    Windows& e = Parts();
    if (!e.printer) {
        e.printHost = std::make_unique<PrintJobHost>(window_.Host());
        e.printer = std::make_unique<TTitlePrinter>(window_.Library().Database(), *e.printHost,
                                                    window_.Widget());
    }
    return *e.printer;
}

TSaveTitleDialog& ExportCommands::SaveDialog() {
    Windows& e = Parts();
    if (!e.saveDialog)
        e.saveDialog = std::make_unique<TSaveTitleDialog>(window_.Widget());
    return *e.saveDialog;
}

TCreateArchiveForm& ExportCommands::CreateArchiveForm() {
    Windows& e = Parts();
    if (!e.createArchiveForm) {
        e.createArchiveForm =
            std::make_unique<TCreateArchiveForm>(window_.Host(), window_.Widget());
        e.createArchiveForm->shuttingDown = [this] { return window_.ClosingDown(); };
    }
    return *e.createArchiveForm;
}

TAudioExportDialog& ExportCommands::AudioDialog() {
    Windows& e = Parts();
    if (!e.audioDialog)
        e.audioDialog = std::make_unique<TAudioExportDialog>(window_.Widget());
    return *e.audioDialog;
}

// ------------------------------------------------------------------ the menu items

void ExportCommands::AddFeatureMenus(QMenu* menu, bool albums) {
    auto sub = [this, menu](const QString& caption, TitleFeature feature,
                            const std::vector<std::pair<QString, TitleSelection>>& items) {
        QMenu* submenu = menu->addMenu(caption);
        for (const auto& [item, which] : items)
            Item(submenu, item, this, [this, feature, which] { RunFeature(feature, which); });
    };
    const std::vector<std::pair<QString, TitleSelection>> three =
        albums ? std::vector<std::pair<QString, TitleSelection>>{{"&Titles selected",
                                                                  TitleSelection::AlbumTitles},
                                                                 {"&Album selected",
                                                                  TitleSelection::AlbumSelected},
                                                                 {"A&ll albums",
                                                                  TitleSelection::AllAlbums}}
               : std::vector<std::pair<QString, TitleSelection>>{
                     {"&Titles selected", TitleSelection::CategoryTitles},
                     {"Active &category", TitleSelection::ActiveCategory},
                     {"&All categories", TitleSelection::AllCategories}};
    sub("&Mail", TitleFeature::Mail, three);
    sub("Archive", TitleFeature::Archive, three);
    sub("&Save to disk", TitleFeature::SaveToDisk, three);
    sub("Save as &audio", TitleFeature::SaveAsAudio, three);
    // An album report covers the titles selected or one album, never every album.
    if (albums)
        sub("P&rint", TitleFeature::Print,
            {{"&Title(s) selected", TitleSelection::AlbumTitles},
             {"&Album selected", TitleSelection::AlbumSelected}});
    else
        sub("P&rint", TitleFeature::Print, three);
}

QAction* ExportCommands::AddTitlesItem(QMenu* menu, const QString& caption, TitleFeature feature) {
    return Item(menu, caption, this, [this, feature] {
        RunFeature(feature, window_.AlbumSideCurrent() ? TitleSelection::AlbumTitles
                                                       : TitleSelection::CategoryTitles);
    });
}

// ------------------------------------------------------------------ choosing the titles

std::string ExportCommands::PrintHeading(TitleSelection which, std::size_t count) const {
    const QString some =
        count == 1 ? QStringLiteral("One title") : QStringLiteral("Selected titles");
    const SelectionNames names = window_.Names();
    const int category = names.categoryTab;
    const QString categoryCaption = Trimmed(names.categoryCaption);
    const int album = names.albumTab;
    const QString albumCaption = Trimmed(names.albumCaption);
    QString heading;
    switch (which) {
    case TitleSelection::CategoryTitles:
        heading = some +
                  (category > 0 ? QStringLiteral(" from category: ") : QStringLiteral(" from: ")) +
                  categoryCaption;
        break;
    case TitleSelection::ActiveCategory:
        heading = QStringLiteral("Category: ") + categoryCaption;
        break;
    case TitleSelection::AllCategories:
        heading = Trimmed(names.allCategoriesCaption);
        break;
    case TitleSelection::AlbumTitles:
        heading = some + QStringLiteral(" from custom album: ") + albumCaption;
        break;
    case TitleSelection::AlbumSelected:
        if (album > 0) {
            heading = QStringLiteral("Custom album: ") + albumCaption;
        } else if (!names.listedAlbum.empty()) {
            return names.listedAlbum;
        }
        break;
    case TitleSelection::AllAlbums:
        heading = albumCaption;
        break;
    }
    return heading.toStdString();
}

void ExportCommands::RunFeature(TitleFeature feature, TitleSelection which) {
    if (window_.Locked())
        return;
    std::vector<int32_t> keys = window_.SelectionKeys(which);
    // Every entry does nothing when its list is empty.
    if (keys.empty())
        return;
    const std::string n = std::to_string(keys.size());
    if (feature == TitleFeature::Mail && which == TitleSelection::AllAlbums) {
        window_.Host().Beep();
        if (window_.Host().ShowMessage("Are you sure you want to mail " + n + " title(s)?",
                                       TMsgDlgType::mtWarning, 0,
                                       mbOK | mbCancel) != TModalResult::mrOk)
            return;
    }
    if (feature == TitleFeature::SaveToDisk && which == TitleSelection::AllAlbums &&
        window_.Host().ShowMessage("Are you sure you want to save " + n + " titles to disk?",
                                   TMsgDlgType::mtWarning, 0,
                                   mbOK | mbCancel) != TModalResult::mrOk)
        return;
    if (feature == TitleFeature::SaveToDisk && which == TitleSelection::AllCategories) {
        window_.Host().Beep();
        if (window_.Host().ShowMessage("Are you sure you want to save " + n + " title(s) to disk?",
                                       TMsgDlgType::mtWarning, 0,
                                       mbYes | mbCancel) != TModalResult::mrYes)
            return;
    }
    archiveName_ = SuggestedArchiveName(which);
    std::string heading;
    if (feature == TitleFeature::Print)
        heading = PrintHeading(which, keys.size());
    else if (feature == TitleFeature::SaveAsAudio)
        heading = AudioAlbum(which);
    OpenFeature(feature, keys, heading);
}

std::string ExportCommands::AudioAlbum(TitleSelection which) const {
    const SelectionNames names = window_.Names();
    switch (which) {
    case TitleSelection::ActiveCategory:
        return names.categoryTab > 0 ? Trim(names.categoryCaption) : std::string();
    case TitleSelection::AlbumSelected:
        return names.albumTab > 0 ? Trim(names.albumCaption) : Trim(names.listedAlbum);
    default:
        return {}; // titles picked one by one, or everything: each keeps its category
    }
}

std::string ExportCommands::SuggestedArchiveName(TitleSelection which) const {
    const SelectionNames names = window_.Names();
    std::string name;
    switch (which) {
    case TitleSelection::CategoryTitles:
    case TitleSelection::ActiveCategory:
        name = names.categoryTab > 0 ? Trim(names.categoryCaption) : "All titles";
        break;
    case TitleSelection::AllCategories:
        name = "All titles";
        break;
    case TitleSelection::AlbumTitles:
    case TitleSelection::AlbumSelected:
        name = names.albumTab > 0 ? Trim(names.albumCaption) : Trim(names.listedAlbum);
        break;
    case TitleSelection::AllAlbums:
        name = "All albums";
        break;
    }
    // A caption may hold what a file name cannot; an empty one names the file "Archive".
    return SafeTitleFileName(name.empty() ? "Archive" : name, 0) + ".zip";
}

bool ExportCommands::Drop(TitleFeature feature, const DraggedTitles& titles) {
    if (titles.keys.empty())
        return false;
    const bool fromCategories = titles.source == SelectionSource::CategoryGrid;
    switch (feature) {
    case TitleFeature::Mail:
    case TitleFeature::SaveToDisk:
        // Mail and save take titles chosen row by row, never a whole tab.
        if (titles.fromTab)
            return false;
        OpenFeature(feature, titles.keys, {});
        return true;
    case TitleFeature::Archive:
        archiveName_ = SuggestedArchiveName(
            titles.fromTab
                ? (fromCategories ? TitleSelection::ActiveCategory : TitleSelection::AlbumSelected)
                : (fromCategories ? TitleSelection::CategoryTitles : TitleSelection::AlbumTitles));
        OpenFeature(TitleFeature::Archive, titles.keys, {});
        return true;
    case TitleFeature::SaveAsAudio:
        return false; // no button takes titles for it
    case TitleFeature::Print: {
        TitleSelection like = TitleSelection::AlbumSelected;
        if (fromCategories && !titles.fromTab)
            like = TitleSelection::CategoryTitles;
        else if (fromCategories)
            like = window_.Names().categoryTab > 0 ? TitleSelection::ActiveCategory
                                                   : TitleSelection::AllCategories;
        OpenFeature(TitleFeature::Print, titles.keys, PrintHeading(like, titles.keys.size()));
        return true;
    }
    }
    return false;
}

void ExportCommands::OpenFeature(TitleFeature feature, const std::vector<int32_t>& keys,
                                 const std::string& heading) {
    if (openFeature) {
        openFeature(feature, keys, heading);
        return;
    }
    switch (feature) {
    case TitleFeature::Mail:
        MailTitles(keys);
        break;
    case TitleFeature::Archive:
        ArchiveTitles(keys);
        break;
    case TitleFeature::SaveToDisk:
        SaveTitles(keys);
        break;
    case TitleFeature::Print:
        PrintTitles(heading, keys);
        break;
    case TitleFeature::SaveAsAudio:
        SaveAsAudio(keys, heading);
        break;
    }
}

// ------------------------------------------------------------------ the features

void ExportCommands::MailTitles(const std::vector<int32_t>& keys) {
    if (!window_.Library().IsOpen() || window_.ClosingDown())
        return;
    CommandLock lock(window_);
    MailForm().MailTitles(std::vector<int>(keys.begin(), keys.end()));
}

void ExportCommands::SaveTitles(const std::vector<int32_t>& keys) {
    window_.Widget()->repaint();
    Windows& e = Parts();
    TitleSaver saver(window_.Library().Database(), window_.Host(), window_.ProgramDirectory(),
                     SaveDialog(), e.saveDirectory);
    saver.SaveTitles(keys);
    e.saveDirectory = saver.directory();
}

void ExportCommands::PrintTitles(const std::string& heading, const std::vector<int32_t>& keys) {
    Windows& e = Parts();
    TTitlePrinter& printer = TitlePrinter();
    CommandLock lock(window_);
    if (printButton_)
        printButton_->setEnabled(false);
    e.printHost->Start();
    e.printing = true;
    try {
        printer.PrintTitles(QString::fromStdString(heading), keys);
    } catch (const std::exception& error) {
        window_.Host().ShowMessage(std::string("The report could not be printed: ") + error.what(),
                                   TMsgDlgType::mtError, 0, mbOK);
    }
    e.printing = false;
    if (!window_.ClosingDown() && printButton_)
        printButton_->setEnabled(true);
}

bool ExportCommands::PrintJobRunning() const {
    return windows_ && windows_->printing;
}

void ExportCommands::EndPrintJob() {
    if (windows_ && windows_->printHost)
        windows_->printHost->End();
}

void ExportCommands::ArchiveTitles(const std::vector<int32_t>& keys) {
    if (keys.empty()) {
        window_.Host().Beep();
        window_.Host().ShowMessage("No titles to archive!", TMsgDlgType::mtError, 0, mbOK);
        return;
    }
    std::string name;
    if (askArchiveName) {
        name = askArchiveName(keys.size());
    } else {
        QFileDialog dialog(window_.Widget(),
                           QString::fromStdString(TitleArchiver::SaveDialogTitle(keys.size())),
                           QString::fromStdString(Parts().saveDirectory.string()),
                           QStringLiteral("Archive files (*.zip)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // An existing archive is extended, not replaced, so there is nothing to confirm.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.selectFile(QString::fromStdString(archiveName_)); // named after what it holds
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().front().toStdString();
    }
    if (name.empty())
        return;
    // The window under the file dialog is drawn again before the work takes the time.
    window_.Host().ProcessEvents();
    CommandLock lock(window_);
    window_.SetViewsEnabled(false);
    CreateArchiveForm().BuildTitleArchive(window_.Library().Database(), window_.ProgramDirectory(),
                                          name, keys);
    window_.SetViewsEnabled(true);
    window_.Widget()->repaint();
}

void ExportCommands::SaveAsAudio(const std::vector<int32_t>& keys, const std::string& album) {
    if (!window_.Library().IsOpen() || window_.ClosingDown())
        return;
    std::optional<AudioExportChoice> choice;
    std::string soundFont;
    RunShowingFailure(window_.Host(), "", [&] {
        IniFile ini(window_.ProgramDirectory() / "Tunquil.ini");
        choice = AudioDialog().Ask(keys.size(), ReadAudioExportChoice(ini));
        if (!choice)
            return;
        soundFont = SoundFontSetting(ini);
        WriteAudioExportChoice(ini, *choice);
        ini.UpdateFile();
    });
    if (!choice)
        return;
    choice->settings.soundFontSetting = soundFont;
    window_.Host().ProcessEvents();
    CommandLock lock(window_);
    AudioExportProgressWindow progress(window_.Host(), window_.Widget());
    if (onAudioProgress)
        progress.OnRunning = onAudioProgress;
    std::optional<AudioExportResult> result;
    progress.Run([&](IHost& host) {
        AudioExporter exporter(window_.Library().Database(), host, &window_.Library().Categories());
        result =
            exporter.Export(keys, choice->folder, choice->settings, ExistingAudioFile::Ask, album);
    });
    if (!result)
        return; // the failure was shown
    bool clean = result->failed.empty() && !result->cancelled;
    window_.Host().ShowMessage(result->Summary() + ".",
                               clean ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning, 0,
                               mbOK);
}

void ExportCommands::CloseMail() {
    if (!windows_ || !windows_->mailForm)
        return;
    TMailForm& form = *windows_->mailForm;
    form.hide();
    form.Mailer().Cancel();
    form.Mailer().SaveSettings();
}

} // namespace tunquil::ui
