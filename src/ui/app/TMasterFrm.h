#pragma once
// The main window: the now-playing panel, the position bar and the music controls on top; the
// database area below with its toolbar, the album tabs on the left and the category tabs on the
// right of a movable separator; the status bar with the hint panel and the progress bar. It owns
// the category and album lists, the data module, the sequencer player and the play program for
// the whole run, and renders what the core computes.

#include "app/LibraryEditor.h"
#include "app/MainWindowSettings.h"
#include "app/ShutDownSequence.h"
#include "app/SingleInstance.h"
#include "app/TunquilSettings.h"
#include "base/Files.h"
#include "database/TMusicLibrary.h"
#include "database/TTitleViews.h"
#include "platform/Drives.h"
#include "ui/WidgetHost.h"
#include "ui/controls/TExtPageControl.h"
#include "ui/controls/TitleKeysMime.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
#include <QFrame>
class QLabel;
class QMenu;
class QProgressBar;
class QSlider;
class QToolButton;

namespace tunquil {
class DatabaseTitleStore;
class PlayProgram;
class TitleImporter;
class TMyMidi;
class TMyMidiPlayer;
namespace platform {
class FakeMessageBus;
class IMixerDevice;
class IRegistry;
class ISequencerDevice;
class SynthesizerMix;
} // namespace platform
class CommandProcessor;
} // namespace tunquil

namespace tunquil::ui {

class TCDPanelP;
struct DesktopParts;
class TCreateArchiveForm;
class TDropButton;
class TMailForm;
class TSaveTitleDialog;
class TTitlePrinter;
class TExtListView;
class TGetLocalF;
class TRenamer;
class TTuneAdder;

class TMixerFrm2;
class TMyStringGrid;
class TViewProgFrm;
class MprisService;

// The title lists that menu items and pop-ups hand to a command, each in row order.
enum class TitleSelection {
    CategoryTitles, // the rows selected in the active category-area grid
    ActiveCategory, // every title of the active category tab (nothing on the summary tab)
    AllCategories,  // every title of the all-titles grid
    AlbumTitles,    // the album selection: an album tab's selected rows, or the selected albums
    AlbumSelected,  // every entry of the album tab shown, or the album selection on tab 0
    AllAlbums,      // every entry of every album, album after album
};

// What the save, print, mail and archive commands do with a title list.
enum class TitleFeature { Mail, Archive, SaveToDisk, Print };

class TMasterFrm : public QMainWindow, public IViewSetObserver {
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
    RunningCopy& Copy() const { return *copy_; }
    // This start's arguments; the first is carried out at the end of the deferred start-up.
    void SetStartArguments(std::vector<std::string> arguments);
    // The deferred start-up (the 100 ms timer's tick): StartUp, then the first argument, or
    // without arguments the scan reminder.
    void DeferredStartUp();
    bool StartUpComplete() const { return startedUp_; }
    // SIGTERM, SIGINT, SIGHUP or the end of the desktop session: closes without the question.
    void EndSession();
    void BringToFront();
    const TunquilSettings& StartSettings() const { return startSettings_; }
    // The desktop's registry (TMasterFrmDesktop.cpp): registers the document type and its verbs
    // for `executable` at once. Without one the window keeps its registrations in memory.
    void AdoptRegistry(std::unique_ptr<platform::IRegistry> registry, fs::path executable);

    // Long operations lock the window's commands and drop targets. Locks nest: the window is
    // unlocked when the last one ends.
    void Lock();
    void Unlock();
    bool Locked() const { return lockDepth_ > 0; }

    IHost& Host() { return host_; }
    WidgetHost& Widgets() { return host_; }
    TTitleViews* Views() const { return views_.get(); }
    TDMM2* DataModule() const { return library_.DataModule(); }
    TMusicLibrary& Library() { return library_; }
    PlayProgram* Program() const { return program_.get(); }
    TMyMidi& Midi() const { return *midi_; }
    const MainWindowSettings& Settings() const { return settings_; }
    TExtPageControl* CategoriesTabs() const { return Categories; }
    TExtPageControl* AlbumsTabs() const { return Albums; }
    TMyStringGrid* AllTitlesGrid() const { return allTitlesGrid_; }
    QLabel* AllTitlesSummary() const { return AllCatPT; }
    TExtListView* AlbumList() const { return AllAlbLV; }
    TCDPanelP* NowPlayingPanel() const { return panel_; }
    QLabel* HintPanel() const { return hintPanel_; }
    QSlider* TrackBar() const { return TrackBar1; }
    QWidget* AlbumPanel() const { return albumPanel_; }
    QWidget* CategoryPanel() const { return categoryPanel_; }
    // A control by its object name ("PlayReplace", "NewAlb", "Pause", ...).
    QWidget* Control(const QString& name) const;
    // The menu item at the end of a path of captions, as shown ("&Categories", "&Sort by",
    // "&Title"); null when there is none.
    QAction* MenuItem(const QStringList& captions) const;
    QMenu* PlayPopupMenu() const { return playMenu_; }

    // The grid of the active tab on the category side (the all-titles grid on tab 0).
    TMyStringGrid* ActiveCategoryGrid() const;
    // The grid of the active album tab, null on tab 0.
    TMyStringGrid* ActiveAlbumGrid() const;
    bool AlbumSideCurrent() const { return albumSide_; }

    // What a drop of titles on a drop target does; false when refused (locked, or not titles).
    bool DropTitles(QWidget* target, const DraggedTitles& titles);
    // The keys a menu item's selection stands for, as the window shows them now.
    std::vector<int32_t> SelectionKeys(TitleSelection which) const;
    // Plays a title of a grid at once, at the top of the program (a double-click).
    void PlayTitleNow(TMyStringGrid* grid, int row);
    // The help cursor: while on, a click on a control shows its help instead of acting.
    void SetHelpCursor(bool on);
    bool HelpCursor() const { return helpCursor_; }
    // Lays out the database area again (after a resize or a toolbar toggle).
    void LayOutDatabaseArea();
    void ToggleToolbar();
    void ShowAlbumTabs(bool show);
    void ShowCategoryTabs(bool show);
    void SetTabColours(const QColor& background, const QColor& font);
    // Ends a drag of the separator that moved it by `distance` pixels.
    void SeparatorDragged(int distance);
    // Brings the buttons, track bar, panel and the Program menu in line with the play program.
    void RefreshTransport();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunCommands();
    void RunCommand(const std::string& argument);
    void OfferScan();
    void CategoryViewsChanged() override;
    void AlbumViewsChanged() override;

    void BuildTopArea();
    void BuildDatabaseArea();
    void BuildStatusBar();
    void BuildMenus();
    void BuildPlayMenu();
    void LayOutTopArea();
    void PlaceProgressBar();
    void ApplyLock();
    void UpdateMenus();
    void ApplySettingsToMenus();
    void StartPlayProgram();

    // Editing the library (TMasterFrmEdit.cpp).
    void CreateCategory();
    void RenameCategory();
    void DeleteActiveCategory();
    void DeleteCategoryTitles();
    void CreateAlbum();
    void RenameAlbum();
    void DeleteAlbumTitles();
    void DeleteSelectedAlbum();
    void DeleteAllAlbums();
    void EditTitlesOfLastArea();
    void DeleteTitlesOfLastArea();
    bool DropOnEditOrTrash(QWidget* target, const DraggedTitles& titles);
    void AlbumRowsDropped(TMyStringGrid* grid, int dropRow, const std::vector<int32_t>& keys);
    void BuildEditing();
    LibraryEditor& Editor();
    TRenamer& Renamer();
    TTuneAdder& TuneAdder();
    void EditTitles(const std::vector<int32_t>& keys);
    void DeleteTitlesFromDatabase(const std::vector<int32_t>& keys);
    void ShowEditButtonInfo();
    void ShowTitlePopup(bool album, const QPoint& at);
    void EditKeyPressed();
    void DeleteKeyPressed();
    void UpdateEditMenus();
    // The category of the active tab (0 on the summary tab), the album that commands act on
    // (the album tab shown, else the first album selected in the list; 0 for none).
    int32_t ActiveCategoryKey() const;
    int32_t SelectedAlbumKey() const;
    int32_t AlbumKeyOf(const TMyStringGrid* grid) const;
    bool CategoryTitlesDropped(TMyStringGrid* grid, int row, const DraggedTitles& titles);
    bool TitlesDroppedOnAlbumList(int row, const DraggedTitles& titles);
    std::unique_ptr<LibraryEditor> editor_;
    TRenamer* renamer_ = nullptr;
    TTuneAdder* tuneAdder_ = nullptr;
    QMenu* titlePopup_ = nullptr;
    QAction *editTitleItem_ = nullptr, *deleteTitleItem_ = nullptr;
    QAction *renameCategoryItem_ = nullptr, *deleteCategoryItem_ = nullptr;

    // Getting titles out (TMasterFrmExport.cpp).
    void RunFeature(TitleFeature feature, TitleSelection which);
    bool DropOnFeature(QWidget* target, const DraggedTitles& titles);

public:
    // Lists the titles in the mail window and shows it (the mail verb's way in, too).
    void MailTitles(const std::vector<int32_t>& keys);
    // Where a chosen title list goes: the mail, archive, save or print window. Tests put a
    // recorder here to see which feature gets which titles with which heading.
    std::function<void(TitleFeature, const std::vector<int32_t>&, const std::string& heading)>
        openFeature;
    // The feature windows, made on first use and kept for the run.
    TMailForm& MailForm();
    TTitlePrinter& TitlePrinter();
    TSaveTitleDialog& SaveDialog();
    TCreateArchiveForm& CreateArchiveForm();
    // Asks for the archive's file name (empty cancels); tests answer here.
    std::function<std::string(std::size_t titleCount)> askArchiveName;

private:
    void OpenFeature(TitleFeature feature, const std::vector<int32_t>& keys,
                     const std::string& heading);
    std::string PrintHeading(TitleSelection which, std::size_t count) const;
    void SaveTitles(const std::vector<int32_t>& keys);
    void PrintTitles(const std::string& heading, const std::vector<int32_t>& keys);
    void ArchiveTitles(const std::vector<int32_t>& keys);
    bool PrintJobRunning() const;
    void EndPrintJob();
    void CloseMail();
    // The feature windows and what they hold on to, all defined in TMasterFrmExport.cpp; a
    // shared_ptr only because it can be freed where its type is not known.
    struct ExportWindows;
    std::shared_ptr<ExportWindows> export_;
    ExportWindows& Export();

    // Getting tunes in (TMasterFrmImport.cpp).
    void OpenLocalFiles();
    void ScanDrive();
    void ScanSystem();
    // Files and folders dropped from the desktop.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void ImportDroppedPaths(const std::vector<fs::path>& paths);
    // The import dispatcher; an archive of 5 entries or more is imported under its progress
    // window.
    std::string ImportShowingProgress(const fs::path& path, const std::string& title,
                                      const std::string& origin, const std::string& performer,
                                      const std::string& category, bool assign, bool addOption);
    platform::IDrives& DriveLayer();
    std::unique_ptr<platform::IDrives> drives_;
    QPointer<TGetLocalF> getLocal_;

    // Sound (TMasterFrmSound.cpp).
    void ShowProgramView();
    void ShowMixer();
    void ChooseSoundFont();
    // After every change of the program, its index or the player: the transport, the program
    // window and the desktop's media controls follow.
    void ProgramChanged();
    void StartMediaControls();

    // The desktop (TMasterFrmDesktop.cpp).
    void SetAsDefaultPlayer();
    void RestoreDefaultPlayer();
    void ManagePlugin();
    void SetLaunchAtLogin(bool on);
    // The end of the deferred start-up: the menu state of the default player, launch at login
    // and the plug-in, the plug-in's start-up hook and its dialog at the first start.
    void DesktopStartUp();
    // The plug-in's dialog at the first start, once nothing else asks the user anything.
    void IntroducePlugin();
    // The plug-in's shut-down hook.
    void DesktopShutDown();
    // Every command of a start, a hand-over or the plug-in goes through here.
    CommandProcessor& Commands();
    void ApplyDefaultPlayerMenu();
    void ShowLaunchState(bool on);
    // The registry, the shell integration, the plug-in manager and the command processor; a
    // shared_ptr so that the type stays in TMasterFrmDesktop.cpp.
    std::shared_ptr<DesktopParts> desktop_;
    // Fills the play selection and opens the PLAY pop-up (or plays at once).
    void PlayKeys(const std::vector<int32_t>& keys, SelectionSource source, bool fromMenu);
    void RunPlayMenu(bool fromMenu);
    void SortActiveCategoryGrid(TitleColumn column);
    void ChooseTabColour(bool font);
    void MakeSideCurrent(bool albums);
    void ConnectGrid(TMyStringGrid* grid, bool album);
    QWidget* MakeGridPage(TTitleView& view, TMyStringGrid** grid, QLabel** summary, bool album);
    void ScheduleAlbumListRebuild();
    void TakeDownViews();
    std::vector<int32_t> AlbumTitles(const std::vector<int>& albumRows) const;
    std::vector<int32_t> AllKeysOf(const TTitleView& view) const;
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
    bool commandsScheduled_ = false;
    bool albumListPending_ = false;
    bool albumSide_ = false;
    bool helpCursor_ = false;
    bool shutDown_ = false;
    bool startedUp_ = false;
    int lockDepth_ = 0;
    double scale_ = 1.0;

    // top area
    QFrame* topArea_ = nullptr;
    QFrame* displayFrame_ = nullptr;
    TCDPanelP* panel_ = nullptr;
    QSlider* TrackBar1 = nullptr;
    TDropButton* PlayReplace = nullptr;
    TDropButton* Play = nullptr;
    QToolButton *ProgView = nullptr, *Shuffle = nullptr, *MusicClear = nullptr, *Back = nullptr,
                *PlayNext = nullptr, *RepeatSB = nullptr, *Pause = nullptr, *OneStop = nullptr,
                *AllStop = nullptr, *Volume = nullptr;
    std::vector<QFrame*> controlFrames_; // view ... volume, in toolbar order
    QToolButton *leftToggle_ = nullptr, *rightToggle_ = nullptr;
    QFrame *leftToggleFrame_ = nullptr, *rightToggleFrame_ = nullptr;

    // database area
    QWidget* dbArea_ = nullptr;
    QToolButton *NewAlb = nullptr, *LoadFiles = nullptr, *DriveScan = nullptr, *GetLocal = nullptr;
    TDropButton *EditCat = nullptr, *MailTitle = nullptr, *Archive = nullptr,
                *ExportTitle = nullptr, *PrintCat = nullptr, *TrashCat = nullptr;
    QFrame* albumPanel_ = nullptr;
    QFrame* categoryPanel_ = nullptr;
    QWidget* separator_ = nullptr;
    QWidget* separatorLine_ = nullptr;
    int separatorPressX_ = 0;
    bool separatorDragging_ = false;
    TExtPageControl* Categories = nullptr;
    TExtPageControl* Albums = nullptr;
    QCheckBox* albumDetails_ = nullptr;
    TExtListView* AllAlbLV = nullptr;
    QLabel* AllCatPT = nullptr;
    TMyStringGrid* allTitlesGrid_ = nullptr;
    std::map<int32_t, QWidget*> categoryPages_; // by CK
    std::map<int32_t, QWidget*> albumPages_;    // by album key

    // status bar
    QLabel* hintPanel_ = nullptr;
    QProgressBar* progress_ = nullptr;

    // menus
    QMenu *fileMenu_ = nullptr, *viewMenu_ = nullptr, *albumsMenu_ = nullptr,
          *categoriesMenu_ = nullptr, *titlesMenu_ = nullptr, *programMenu_ = nullptr,
          *settingsMenu_ = nullptr, *helpMenu_ = nullptr, *tabColoursMenu_ = nullptr;
    QMenu* playMenu_ = nullptr;
    QMenu* categoryPopup_ = nullptr;
    QMenu* albumPopup_ = nullptr;
    QAction *toolbarItem_ = nullptr, *albumTabsItem_ = nullptr, *categoryTabsItem_ = nullptr;
    QAction *setDefaultItem_ = nullptr, *restoreDefaultItem_ = nullptr, *pluginItem_ = nullptr;
    QAction *confirmItem_ = nullptr, *remindItem_ = nullptr, *launchItem_ = nullptr,
            *loopingItem_ = nullptr, *hintsItem_ = nullptr;
    std::map<ResetChoice, QAction*> resetItems_;
    std::vector<QAction*> allAlbumsItems_;
    QAction* sortByCategoryItem_ = nullptr;
    QAction *playTopItem_ = nullptr, *playBottomItem_ = nullptr, *playReplaceItem_ = nullptr;
    std::vector<QAction*> playTitleItems_; // the four after "&Cancel"

    // sound windows
    QPointer<TViewProgFrm> programView_;
    std::unique_ptr<platform::IMixerDevice> mixerDevice_;
    QPointer<TMixerFrm2> mixerWindow_;
    MprisService* mediaControls_ = nullptr;
};

// Locks the main window's commands for a scope.
class CommandLock {
public:
    explicit CommandLock(TMasterFrm& window) : window_(window) { window_.Lock(); }
    ~CommandLock() { window_.Unlock(); }
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

private:
    TMasterFrm& window_;
};

} // namespace tunquil::ui
