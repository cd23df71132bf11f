#pragma once
// The main window's database area: its toolbar on top, the album panel and the category panel
// side by side below, and the separator between them that the user drags. The area lays itself
// out by the rules of MasterLayout.h: the toolbar's groups, the panels' minimum widths and the
// album panel's width, which the window keeps in its settings.

#include "app/MainWindowSettings.h"

#include <QFrame>

class QLineEdit;
class QToolButton;

namespace tunquil::ui {

class TDropButton;

// The toolbar's buttons: the commands on the left and right, the drop targets in the middle.
struct DatabaseToolbar {
    QToolButton *newAlbum = nullptr, *load = nullptr, *driveScan = nullptr, *systemScan = nullptr;
    TDropButton *edit = nullptr, *mail = nullptr, *archive = nullptr, *save = nullptr,
                *print = nullptr, *trash = nullptr;
};

class DatabaseArea : public QWidget {
public:
    // `scale` turns the pixel sizes, given at 96 dots per inch, into the screen's; `settings`
    // holds whether the toolbar's optional buttons show and the album panel's width.
    DatabaseArea(double scale, MainWindowSettings& settings, QWidget* window);

    const DatabaseToolbar& Toolbar() const { return toolbar_; }
    // The search field, left of the drop targets: the grids show what it finds.
    QLineEdit* FindField() const { return find_; }
    QFrame* AlbumPanel() const { return albumPanel_; }
    QFrame* CategoryPanel() const { return categoryPanel_; }
    void LayOut();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Ends a drag of the separator that moved it by `distance` pixels.
    void SeparatorDragged(int distance);
    int Px(int pixels) const;

    double scale_;
    MainWindowSettings& settings_;
    DatabaseToolbar toolbar_;
    QLineEdit* find_ = nullptr;
    QFrame* albumPanel_ = nullptr;
    QFrame* categoryPanel_ = nullptr;
    QWidget* separator_ = nullptr;
    // The line that follows the mouse while the separator is dragged, drawn over the window.
    QWidget* separatorLine_ = nullptr;
    int separatorPressX_ = 0;
    bool separatorDragging_ = false;
};

} // namespace tunquil::ui
