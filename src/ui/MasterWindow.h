#pragma once
// What the main window's command parts (editing, getting tunes in, getting titles out, sound,
// the desktop) see of the window: the host, the command lock, the library and the play program,
// the current selection as title keys, and ways to bring the views in line. A part holds one of
// these, never the window itself, so each can be read, changed and tested on its own.

#include "base/Files.h"

#include <cstdint>
#include <string>
#include <vector>

class QProgressBar;
class QWidget;

namespace tunquil {
class PlayProgram;
class RunningCopy;
class TitleImporter;
class TMusicLibrary;
class TTitleViews;
struct MainWindowSettings;
struct TunquilSettings;
} // namespace tunquil

namespace tunquil::ui {

class TMyStringGrid;
class WidgetHost;

// The title lists that menu items and pop-ups hand to a command, each in row order.
enum class TitleSelection {
    CategoryTitles, // the rows selected in the active category-area grid
    ActiveCategory, // every title of the active category tab (nothing on the summary tab)
    AllCategories,  // every title of the all-titles grid
    AlbumTitles,    // the album selection: an album tab's selected rows, or the selected albums
    AlbumSelected,  // every entry of the album tab shown, or the album selection on tab 0
    AllAlbums,      // every entry of every album, album after album
};

// The tabs shown and their captions as the tabs show them (padded with blanks), for headings
// and for the category that dropped files go to.
struct SelectionNames {
    int categoryTab = 0; // 0: the summary tab
    std::string categoryCaption;
    std::string allCategoriesCaption;
    int albumTab = 0; // 0: the summary tab
    std::string albumCaption;
    // The first album selected in the album list (empty when none is).
    std::string listedAlbum;
};

// Which control has the keyboard, for F2 and Del.
enum class KeyboardArea { AlbumTabsOrList, CategoryTabs, Grid, Other };

class IMasterWindow {
public:
    virtual ~IMasterWindow() = default;

    // The window: the parent of the parts' dialogs and what they are centred on.
    virtual QWidget* Widget() = 0;
    virtual WidgetHost& Host() = 0;
    virtual const fs::path& ProgramDirectory() const = 0;
    // The status bar's progress bar, for work that counts files.
    virtual QProgressBar* ProgressBar() = 0;

    // Long operations lock the window's commands and drop targets. Locks nest: the window is
    // unlocked when the last one ends.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual bool Locked() const = 0;
    // The database is open and the views are filled.
    virtual bool StartedUp() const = 0;
    // The window's shut-down has begun.
    virtual bool ClosingDown() const = 0;
    virtual void BringToFront() = 0;

    virtual TMusicLibrary& Library() = 0;
    // Null until start-up has made them.
    virtual TTitleViews* Views() const = 0;
    virtual PlayProgram* Program() const = 0;
    virtual TitleImporter* Importer() = 0;
    virtual RunningCopy& Copy() const = 0;
    virtual MainWindowSettings& WindowSettings() = 0;
    virtual TunquilSettings& StartSettings() = 0;

    // The keys a menu item's selection stands for, as the window shows them now.
    virtual std::vector<int32_t> SelectionKeys(TitleSelection which) const = 0;
    // The side whose grid or list was used last.
    virtual bool AlbumSideCurrent() const = 0;
    virtual SelectionNames Names() const = 0;
    // The category of the active tab (0 on the summary tab), the album that commands act on
    // (the album tab shown, else the first album selected in the list; 0 for none), the album
    // a grid shows (0 for a category grid).
    virtual int32_t ActiveCategoryKey() const = 0;
    virtual int32_t SelectedAlbumKey() const = 0;
    virtual int32_t AlbumKeyOf(const TMyStringGrid* grid) const = 0;
    // The grid of the active album tab, null on the summary tab.
    virtual TMyStringGrid* ActiveAlbumGrid() const = 0;
    // Where the keyboard is, and the grid when it is in one.
    virtual KeyboardArea FocusArea(TMyStringGrid** grid) const = 0;
    virtual void ClearAlbumSelection() = 0;

    // Brings the transport, the now-playing panel and the Program menu in line with the play
    // program; the menus in line with the selection.
    virtual void RefreshTransport() = 0;
    virtual void UpdateMenus() = 0;
    // The tab controls take no input while a long job reads the titles they show.
    virtual void SetViewsEnabled(bool enabled) = 0;
    // A command turned looping on or off: the setting and its check mark follow.
    virtual void AutoLoopingChanged(bool on) = 0;
    // Lists the titles in the mail window and shows it.
    virtual void MailTitles(const std::vector<int32_t>& keys) = 0;
};

// Locks the main window's commands for a scope.
class CommandLock {
public:
    explicit CommandLock(IMasterWindow& window) : window_(window) { window_.Lock(); }
    ~CommandLock() { window_.Unlock(); }
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

private:
    IMasterWindow& window_;
};

} // namespace tunquil::ui
