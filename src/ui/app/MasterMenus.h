#pragma once
// The main window's menu bar and its right-click menus, built from the command parts' items in
// the order the window shows them, and enabled by the lock and by what is selected.

#include <QObject>
#include <QStringList>

class QAction;
class QMenu;

namespace tunquil::ui {

class TMasterFrm;

class MasterMenus : public QObject {
public:
    explicit MasterMenus(TMasterFrm& window);

    // Builds every menu; the window's parts exist by then.
    void Build();
    // The captions and check marks that follow the window's settings.
    void ApplySettings();
    // Enabling: the whole menus by the lock, their items by the selection.
    void ApplyLock(bool locked);
    void Update();
    // The menu item at the end of a path of captions, as shown; null when there is none.
    QAction* Find(const QStringList& captions) const;
    QMenu* CategoryPopup() const { return categoryPopup_; }
    QMenu* AlbumPopup() const { return albumPopup_; }

private:
    void ChooseTabColour(bool font);

    TMasterFrm& window_;
    QMenu *fileMenu_ = nullptr, *viewMenu_ = nullptr, *albumsMenu_ = nullptr,
          *categoriesMenu_ = nullptr, *titlesMenu_ = nullptr, *helpMenu_ = nullptr,
          *tabColoursMenu_ = nullptr;
    QMenu* categoryPopup_ = nullptr;
    QMenu* albumPopup_ = nullptr;
    QAction *toolbarItem_ = nullptr, *albumTabsItem_ = nullptr, *categoryTabsItem_ = nullptr;
    QAction *confirmItem_ = nullptr, *remindItem_ = nullptr, *hintsItem_ = nullptr;
    QAction* allAlbumsPlayItem_ = nullptr;
    QAction* sortByCategoryItem_ = nullptr;
};

} // namespace tunquil::ui
