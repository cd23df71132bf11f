#pragma once
// The main window: the now-playing panel, the position bar and the music controls on top; the
// database area below with its toolbar, the album tabs on the left and the category tabs on the
// right of a movable separator; the status bar with the hint panel and the progress bar. It owns
// the library, the sequencer player and the play program for the whole run, holds the tabs,
// the grids and their selection, and composes the command parts that own each concern's menu
// items, drops and windows: editing, getting tunes in, getting titles out, sound and desktop.

#include "app/MainWindowSettings.h"
#include "app/ShutDownSequence.h"
#include "app/SingleInstance.h"
#include "app/TunquilSettings.h"
#include "database/TMusicLibrary.h"
#include "database/TTitleViews.h"
#include "ui/MasterWindow.h"
#include "ui/WidgetHost.h"
#include "ui/app/LibraryTabs.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TitleKeysMime.h"

#include <QMainWindow>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QSlider;

namespace tunquil {
class DatabaseTitleStore;
class TMyMidi;
class TMyMidiPlayer;
namespace platform {
class FakeMessageBus;
class ISequencerDevice;
class SynthesizerMix;
} // namespace platform
} // namespace tunquil

namespace tunquil::ui {

class DatabaseArea;
class DesktopCommands;
class EditCommands;
class ExportCommands;
class HelpAndHints;
class ImportCommands;
class MasterMenus;
class MusicControls;
class SoundCommands;
class TCDPanelP;
class TExtListView;

class TMasterFrm : public QMainWindow, public IMasterWindow {
    Q_OBJECT
public:
    // `device` is the sequencer device to play on; null means FluidSynth to the sound server.
    explicit TMasterFrm(fs::path programDirectory,
                        std::unique_ptr<platform::ISequencerDevice> device = nullptr,
                        QWidget* parent = nullptr);
    ~TMasterFrm() override;

    // Reads Tunquil.ini, loads the category list, opens the database at program directory +
    // "Music", fills the views, loads the album list and applies the summary-tabs options; the
    // window's commands are locked until it is done. Throws DatabaseError or FileError with a
    // text for the user; the window then shows no titles.
    void StartUp();
    // Stops the player, saves the albums, purges the categories, closes the data module and
    // writes the settings, each step on its own so that one failure (shown) does not stop the
    // next. Runs once.
    void ShutDown();

    // Reads the window's settings from Tunquil.ini and takes its saved place and looks; StartUp
    // does it when it has not been done.
    void ApplySavedSettings();
    // The running copy on the message bus, already registered: hand-overs, plug-in requests and
    // the registered messages reach the window through it. Without one the window has a copy
    // of its own on a private bus.
    void AdoptRunningCopy(std::unique_ptr<RunningCopy> copy);
    // This start's arguments; the first is carried out at the end of the deferred start-up.
    void SetStartArguments(std::vector<std::string> arguments);
    // The deferred start-up (the 100 ms timer's tick): StartUp, then the first argument, or
    // without arguments the scan reminder.
    void DeferredStartUp();
    bool StartUpComplete() const { return startedUp_; }
    // SIGTERM, SIGINT, SIGHUP or the end of the desktop session: closes without the question.
    void EndSession();

    // The command parts.
    EditCommands& Editing() { return *edit_; }
    ImportCommands& Import() { return *import_; }
    ExportCommands& Export() { return *export_; }
    SoundCommands& Sound() { return *sound_; }
    DesktopCommands& Desktop() { return *desktop_; }

    // IMasterWindow
    QWidget* Widget() override { return this; }
    WidgetHost& Host() override { return host_; }
    const fs::path& ProgramDirectory() const override { return programDirectory_; }
    QProgressBar* ProgressBar() override { return progress_; }
    void Lock() override;
    void Unlock() override;
    bool Locked() const override { return lockDepth_ > 0; }
    bool StartedUp() const override { return startedUp_; }
    bool ClosingDown() const override { return shutDown_; }
    void BringToFront() override;
    TMusicLibrary& Library() override { return library_; }
    TTitleViews* Views() const override { return views_.get(); }
    PlayProgram* Program() const override { return program_.get(); }
    TitleImporter* Importer() override { return importer_.get(); }
    RunningCopy& Copy() const override { return *copy_; }
    MainWindowSettings& WindowSettings() override { return settings_; }
    TunquilSettings& StartSettings() override { return startSettings_; }
    std::vector<int32_t> SelectionKeys(TitleSelection which) const override {
        return tabs_->SelectionKeys(which);
    }
    bool AlbumSideCurrent() const override { return albumSide_; }
    SelectionNames Names() const override { return tabs_->Names(); }
    int32_t ActiveCategoryKey() const override { return tabs_->ActiveCategoryKey(); }
    int32_t SelectedAlbumKey() const override { return tabs_->SelectedAlbumKey(); }
    int32_t AlbumKeyOf(const TMyStringGrid* grid) const override { return tabs_->AlbumKeyOf(grid); }
    // The grid of the active album tab, null on tab 0; of the active category-side tab (the
    // all-titles grid on tab 0).
    TMyStringGrid* ActiveAlbumGrid() const override { return tabs_->ActiveAlbumGrid(); }
    TMyStringGrid* ActiveCategoryGrid() const { return tabs_->ActiveCategoryGrid(); }
    KeyboardArea FocusArea(TMyStringGrid** grid) const override { return tabs_->FocusArea(grid); }
    void ClearAlbumSelection() override { tabs_->ClearAlbumSelection(); }
    // Brings the buttons, track bar, panel and the Program menu in line with the play program.
    void RefreshTransport() override;
    void UpdateMenus() override;
    void SetViewsEnabled(bool enabled) override;
    void AutoLoopingChanged(bool on) override;
    void MailTitles(const std::vector<int32_t>& keys) override;

    WidgetHost& Widgets() { return host_; }
    TDMM2* DataModule() const { return library_.DataModule(); }
    TMyMidi& Midi() const { return *midi_; }
    const MainWindowSettings& Settings() const { return settings_; }
    TExtPageControl* CategoriesTabs() const { return tabs_->CategoriesTabs(); }
    TExtPageControl* AlbumsTabs() const { return tabs_->AlbumsTabs(); }
    TMyStringGrid* AllTitlesGrid() const { return tabs_->AllTitlesGrid(); }
    QLabel* AllTitlesSummary() const { return tabs_->AllTitlesSummary(); }
    TExtListView* AlbumList() const { return tabs_->AlbumList(); }
    MasterMenus& Menus() const { return *menus_; }
    TCDPanelP* NowPlayingPanel() const;
    QLabel* HintPanel() const { return hintPanel_; }
    QSlider* TrackBar() const;
    QWidget* AlbumPanel() const;
    QWidget* CategoryPanel() const;
    // A control by its object name ("PlayReplace", "NewAlb", "Pause", ...).
    QWidget* Control(const QString& name) const { return findChild<QWidget*>(name); }
    // The menu item at the end of a path of captions, as shown ("&Categories", "&Sort by",
    // "&Title"); null when there is none.
    QAction* MenuItem(const QStringList& captions) const;
    QMenu* PlayPopupMenu() const;

    // What a drop of titles on a drop target does; false when refused (locked, or not titles).
    bool DropTitles(QWidget* target, const DraggedTitles& titles);
    // The help cursor: while on, a click on a control shows its help instead of acting.
    void SetHelpCursor(bool on);
    bool HelpCursor() const;
    // Lays out the database area again (after a resize or a toolbar toggle).
    void LayOutDatabaseArea();
    void ToggleToolbar();
    void ShowAlbumTabs(bool show);
    void ShowCategoryTabs(bool show);
    void SetTabColours(const QColor& background, const QColor& font);
    // Makes the album or the category side the one that the Titles menu acts on.
    void MakeSideCurrent(bool albums);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    // Files and folders dropped from the desktop go to the import part.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct ClosingSteps;
    void OfferScan();

    void BuildDatabaseArea();
    void ApplyLock();
    void ApplySettingsToMenus();
    int Px(int pixels) const;

    fs::path programDirectory_;
    WidgetHost host_;
    TMusicLibrary library_;
    std::unique_ptr<TTitleViews> views_;
    // Our synthesizer's volume, balance and mute: set by the mixer, applied by the device.
    std::shared_ptr<platform::SynthesizerMix> synthesizerMix_;
    std::unique_ptr<platform::ISequencerDevice> device_;
    std::unique_ptr<TMyMidi> midi_;
    std::unique_ptr<TMyMidiPlayer> player_;
    std::unique_ptr<DatabaseTitleStore> store_;
    std::unique_ptr<PlayProgram> program_;
    MainWindowSettings settings_;
    TunquilSettings startSettings_;
    bool settingsApplied_ = false;
    std::unique_ptr<platform::FakeMessageBus> privateBus_;
    std::unique_ptr<RunningCopy> copy_;
    std::unique_ptr<ShutDownSequence> closing_;
    std::unique_ptr<TitleImporter> importer_;
    std::vector<std::string> startArguments_;
    bool albumSide_ = false;
    bool shutDown_ = false;
    bool startedUp_ = false;
    int lockDepth_ = 0;
    double scale_ = 1.0;

    // The command parts. Declared after what they use, they go first: the sound part's
    // windows hold the program.
    std::unique_ptr<EditCommands> edit_;
    std::unique_ptr<ImportCommands> import_;
    std::unique_ptr<ExportCommands> export_;
    std::unique_ptr<SoundCommands> sound_;
    std::unique_ptr<DesktopCommands> desktop_;

    // The three areas, the tabs of the database area, the menus.
    MusicControls* top_ = nullptr;
    DatabaseArea* area_ = nullptr;
    QLabel* hintPanel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::unique_ptr<LibraryTabs> tabs_;
    std::unique_ptr<MasterMenus> menus_;
    std::unique_ptr<HelpAndHints> help_;
    // What a drop on each drop button does, once the window's own checks have passed.
    std::map<QWidget*, std::function<bool(const DraggedTitles&)>> dropCommands_;
};

} // namespace tunquil::ui
