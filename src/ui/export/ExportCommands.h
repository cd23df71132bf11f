#pragma once
// Getting titles out of the library: mail, archive, save to disk, save as audio and print, from the
// feature submenus of the Albums and Categories menus, the title commands of the Titles menu and
// the PLAY pop-up, and drops on the Mail, Archive, Save and Print buttons.

#include "ui/MasterWindow.h"
#include "ui/controls/TitleKeysMime.h"

#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace tunquil::ui {

class TAudioExportDialog;
class TCreateArchiveForm;
class TMailForm;
class TSaveTitleDialog;
class TTitlePrinter;

// What the save, print, mail, archive and audio commands do with a title list.
enum class TitleFeature { Mail, Archive, SaveToDisk, Print, SaveAsAudio };

class ExportCommands : public QObject {
public:
    explicit ExportCommands(IMasterWindow& window);
    ~ExportCommands() override;

    // The "&Mail", "Archive", "&Save to disk", "Save as &audio" and "P&rint" submenus of the Albums
    // (`albums`) or the Categories menu, each item handing its selection to the feature.
    void AddFeatureMenus(QMenu* menu, bool albums);
    // An item that hands the titles of the side used last to `feature`.
    QAction* AddTitlesItem(QMenu* menu, const QString& caption, TitleFeature feature);
    // The Print button is disabled while a report is being made.
    void SetPrintButton(QWidget* button) { printButton_ = button; }

    // A menu item's command: the selection's keys, after the question that some ask.
    void RunFeature(TitleFeature feature, TitleSelection which);
    // Titles dropped on the feature's button; false when refused.
    bool Drop(TitleFeature feature, const DraggedTitles& titles);
    // Lists the titles in the mail window and shows it (the mail verb's way in, too).
    void MailTitles(const std::vector<int32_t>& keys);

    // Where a chosen title list goes: the mail, archive, save, print or audio window. Tests
    // put a recorder here to see which feature gets which titles with which heading (for the
    // audio files, the album they are tagged with: the category or album saved as a whole).
    std::function<void(TitleFeature, const std::vector<int32_t>&, const std::string& heading)>
        openFeature;
    // Asks for the archive's file name (empty cancels); tests answer here.
    std::function<std::string(std::size_t titleCount)> askArchiveName;

    // The feature windows, made on first use and kept for the run.
    TMailForm& MailForm();
    TTitlePrinter& TitlePrinter();
    TSaveTitleDialog& SaveDialog();
    TCreateArchiveForm& CreateArchiveForm();
    TAudioExportDialog& AudioDialog();
    // The progress window of the audio export being made, if any; tests press Cancel here.
    std::function<void(class AudioExportProgressWindow&)> onAudioProgress;

    // Closing: a report being made is told to end, the mail window stops and keeps its settings.
    bool PrintJobRunning() const;
    void EndPrintJob();
    void CloseMail();

    // The heading of a printed report of `count` titles of the selection.
    std::string PrintHeading(TitleSelection which, std::size_t count) const;
    // The file name the archive dialog offers: the category's or the album's.
    std::string SuggestedArchiveName(TitleSelection which) const;

private:
    void OpenFeature(TitleFeature feature, const std::vector<int32_t>& keys,
                     const std::string& heading);
    void SaveTitles(const std::vector<int32_t>& keys);
    void PrintTitles(const std::string& heading, const std::vector<int32_t>& keys);
    void ArchiveTitles(const std::vector<int32_t>& keys);
    void SaveAsAudio(const std::vector<int32_t>& keys, const std::string& album);
    // The album the audio files of a selection are tagged with; empty tags each title with
    // its own category.
    std::string AudioAlbum(TitleSelection which) const;

    IMasterWindow& window_;
    QWidget* printButton_ = nullptr;
    std::string archiveName_ = "Archive.zip";
    // The feature windows and what they hold on to.
    struct Windows;
    Windows& Parts();
    std::unique_ptr<Windows> windows_;
};

} // namespace tunquil::ui
