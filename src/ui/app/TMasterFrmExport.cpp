// The main window's ways out for titles: mail, archive, save to disk and print, from the menus
// and from drops on their toolbar buttons.

#include "database/TMyDB.h"
#include "export/DatabaseTitleExporter.h"
#include "export/TitleSaver.h"
#include "export/archive/ZipArchiveWriter.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TDropButton.h"
#include "ui/controls/TExtListView.h"
#include "ui/controls/TExtPageControl.h"
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

QString Trimmed(const QString& text) {
    return text.trimmed();
}

} // namespace

struct TMasterFrm::ExportWindows {
    std::unique_ptr<PrintJobHost> printHost;
    std::unique_ptr<TTitlePrinter> printer;
    std::unique_ptr<TSaveTitleDialog> saveDialog;
    fs::path saveDirectory = QDir::homePath().toStdString();
    std::unique_ptr<DatabaseTitleExporter> mailExporter;
    ZipArchiveWriter mailArchiver;
    std::unique_ptr<TMailForm> mailForm;
    std::unique_ptr<TCreateArchiveForm> createArchiveForm;
    bool printing = false;
};

TMasterFrm::ExportWindows& TMasterFrm::Export() {
    if (!export_)
        export_ = std::make_shared<ExportWindows>();
    return *export_;
}

TMailForm& TMasterFrm::MailForm() {
    ExportWindows& e = Export();
    if (!e.mailForm) {
        e.mailExporter = std::make_unique<DatabaseTitleExporter>(
            library_.Database(), host_, programDirectory_, &library_.Categories());
        e.mailForm = std::make_unique<TMailForm>(programDirectory_, *e.mailExporter, e.mailArchiver,
                                                 nullptr, this);
        e.mailForm->Mailer().shuttingDown = [this] { return shutDown_; };
    }
    return *e.mailForm;
}

TTitlePrinter& TMasterFrm::TitlePrinter() {
    ExportWindows& e = Export();
    if (!e.printer) {
        e.printHost = std::make_unique<PrintJobHost>(host_);
        e.printer = std::make_unique<TTitlePrinter>(library_.Database(), *e.printHost, this);
    }
    return *e.printer;
}

TSaveTitleDialog& TMasterFrm::SaveDialog() {
    ExportWindows& e = Export();
    if (!e.saveDialog)
        e.saveDialog = std::make_unique<TSaveTitleDialog>(this);
    return *e.saveDialog;
}

TCreateArchiveForm& TMasterFrm::CreateArchiveForm() {
    ExportWindows& e = Export();
    if (!e.createArchiveForm) {
        e.createArchiveForm = std::make_unique<TCreateArchiveForm>(host_, this);
        e.createArchiveForm->shuttingDown = [this] { return shutDown_; };
    }
    return *e.createArchiveForm;
}

// ------------------------------------------------------------------ choosing the titles

std::string TMasterFrm::PrintHeading(TitleSelection which, std::size_t count) const {
    const QString some =
        count == 1 ? QStringLiteral("One title") : QStringLiteral("Selected titles");
    const int category = Categories ? Categories->currentIndex() : 0;
    const QString categoryCaption = Categories ? Trimmed(Categories->tabText(category)) : QString();
    const int album = Albums ? Albums->currentIndex() : 0;
    const QString albumCaption = Albums ? Trimmed(Albums->tabText(album)) : QString();
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
        heading = Categories ? Trimmed(Categories->tabText(0)) : QString();
        break;
    case TitleSelection::AlbumTitles:
        heading = some + QStringLiteral(" from custom album: ") + albumCaption;
        break;
    case TitleSelection::AlbumSelected:
        if (album > 0) {
            heading = QStringLiteral("Custom album: ") + albumCaption;
        } else if (views_ && AllAlbLV && !AllAlbLV->SelectedRows().empty()) {
            int row = AllAlbLV->SelectedRows().front();
            const auto& albums = views_->AlbumViews();
            if (row >= 0 && row < static_cast<int>(albums.size()))
                return albums[row].name;
        }
        break;
    case TitleSelection::AllAlbums:
        heading = albumCaption;
        break;
    }
    return heading.toStdString();
}

void TMasterFrm::RunFeature(TitleFeature feature, TitleSelection which) {
    if (Locked())
        return;
    std::vector<int32_t> keys = SelectionKeys(which);
    // Every entry does nothing when its list is empty.
    if (keys.empty())
        return;
    const std::string n = std::to_string(keys.size());
    if (feature == TitleFeature::Mail && which == TitleSelection::AllAlbums) {
        host_.Beep();
        if (host_.ShowMessage("Are you sure you want to mail " + n + " title(s)?",
                              TMsgDlgType::mtWarning, 0, mbOK | mbCancel) != TModalResult::mrOk)
            return;
    }
    if (feature == TitleFeature::SaveToDisk && which == TitleSelection::AllAlbums &&
        host_.ShowMessage("Are you sure you want to save " + n + " titles to disk?",
                          TMsgDlgType::mtWarning, 0, mbOK | mbCancel) != TModalResult::mrOk)
        return;
    if (feature == TitleFeature::SaveToDisk && which == TitleSelection::AllCategories) {
        host_.Beep();
        if (host_.ShowMessage("Are you sure you want to save " + n + " title(s) to disk?",
                              TMsgDlgType::mtWarning, 0, mbYes | mbCancel) != TModalResult::mrYes)
            return;
    }
    OpenFeature(feature, keys,
                feature == TitleFeature::Print ? PrintHeading(which, keys.size()) : std::string());
}

bool TMasterFrm::DropOnFeature(QWidget* target, const DraggedTitles& titles) {
    const bool fromCategories = titles.source == SelectionSource::CategoryGrid;
    if (target == MailTitle || target == ExportTitle) {
        // Mail and save take titles chosen row by row, never a whole tab.
        if (titles.fromTab)
            return false;
        OpenFeature(target == MailTitle ? TitleFeature::Mail : TitleFeature::SaveToDisk,
                    titles.keys, {});
        return true;
    }
    if (target == Archive) {
        OpenFeature(TitleFeature::Archive, titles.keys, {});
        return true;
    }
    if (target == PrintCat) {
        TitleSelection like = TitleSelection::AlbumSelected;
        if (fromCategories && !titles.fromTab)
            like = TitleSelection::CategoryTitles;
        else if (fromCategories)
            like = Categories->currentIndex() > 0 ? TitleSelection::ActiveCategory
                                                  : TitleSelection::AllCategories;
        OpenFeature(TitleFeature::Print, titles.keys, PrintHeading(like, titles.keys.size()));
        return true;
    }
    return false;
}

void TMasterFrm::OpenFeature(TitleFeature feature, const std::vector<int32_t>& keys,
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
    }
}

// ------------------------------------------------------------------ the features

void TMasterFrm::MailTitles(const std::vector<int32_t>& keys) {
    if (!library_.IsOpen() || shutDown_)
        return;
    CommandLock lock(*this);
    MailForm().MailTitles(std::vector<int>(keys.begin(), keys.end()));
}

void TMasterFrm::SaveTitles(const std::vector<int32_t>& keys) {
    repaint();
    ExportWindows& e = Export();
    TitleSaver saver(library_.Database(), host_, programDirectory_, SaveDialog(), e.saveDirectory);
    saver.SaveTitles(keys);
    e.saveDirectory = saver.directory();
}

void TMasterFrm::PrintTitles(const std::string& heading, const std::vector<int32_t>& keys) {
    ExportWindows& e = Export();
    TTitlePrinter& printer = TitlePrinter();
    CommandLock lock(*this);
    PrintCat->setEnabled(false);
    e.printHost->Start();
    e.printing = true;
    try {
        printer.PrintTitles(QString::fromStdString(heading), keys);
    } catch (const std::exception& error) {
        host_.ShowMessage(std::string("The report could not be printed: ") + error.what(),
                          TMsgDlgType::mtError, 0, mbOK);
    }
    e.printing = false;
    if (!shutDown_)
        PrintCat->setEnabled(true);
}

bool TMasterFrm::PrintJobRunning() const {
    return export_ && export_->printing;
}

void TMasterFrm::EndPrintJob() {
    if (export_ && export_->printHost)
        export_->printHost->End();
}

void TMasterFrm::ArchiveTitles(const std::vector<int32_t>& keys) {
    if (keys.empty()) {
        host_.Beep();
        host_.ShowMessage("No titles to archive!", TMsgDlgType::mtError, 0, mbOK);
        return;
    }
    std::string name;
    if (askArchiveName) {
        name = askArchiveName(keys.size());
    } else {
        QFileDialog dialog(this,
                           QString::fromStdString(TitleArchiver::SaveDialogTitle(keys.size())),
                           QString::fromStdString(Export().saveDirectory.string()),
                           QStringLiteral("Archive files (*.zip)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // An existing archive is extended, not replaced, so there is nothing to confirm.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().front().toStdString();
    }
    if (name.empty())
        return;
    // The window under the file dialog is drawn again before the work takes the time.
    host_.ProcessEvents();
    CommandLock lock(*this);
    Categories->setEnabled(false);
    Albums->setEnabled(false);
    CreateArchiveForm().BuildTitleArchive(library_.Database(), programDirectory_, name, keys);
    Categories->setEnabled(true);
    Albums->setEnabled(true);
    repaint();
}

void TMasterFrm::CloseMail() {
    if (!export_ || !export_->mailForm)
        return;
    TMailForm& form = *export_->mailForm;
    form.hide();
    form.Mailer().Cancel();
    form.Mailer().SaveSettings();
}

} // namespace tunquil::ui
