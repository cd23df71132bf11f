#pragma once
// A tab control whose tabs it paints itself: the active tab in its own background colour and
// font (bold), the others in theirs, and a hint per tab that travels with its tab when tabs are
// added, moved or removed. The hint of the tab under the mouse is the control's status tip.

#include <QColor>
#include <QFont>
#include <QTabBar>
#include <QTabWidget>
#include <functional>

namespace tunquil::ui {

class TExtTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit TExtTabBar(QWidget* parent = nullptr);

    QColor activeColor{192, 192, 192};
    QColor inactiveColor{160, 160, 164};
    QColor activeFontColor{Qt::black};
    // Draws a small picture before the caption of every tab but the first (album tabs).
    bool pictureTabs = false;

    // The tab under `pos`, -1 when none.
    int HintTabAt(const QPoint& pos) const { return tabAt(pos); }

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize tabSizeHint(int index) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ShowHint(const QString& hint);
    int hintTab_ = -1;
};

class TExtPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TExtPageControl(QWidget* parent = nullptr);

    TExtTabBar* Bar() const { return bar_; }
    void SetTabActiveColor(const QColor& color);
    void SetTabActiveFontColor(const QColor& color);
    void SetTabInactiveColor(const QColor& color);
    QColor TabActiveColor() const { return bar_->activeColor; }
    QColor TabActiveFontColor() const { return bar_->activeFontColor; }

    // The hint of the page's tab (kept with the page, whatever its index becomes).
    void SetTabHint(QWidget* page, const QString& hint);
    QString TabHint(int index) const;
    // Shows or hides every tab after the first; hiding makes the first tab active.
    void ShowTabsAfterFirst(bool show);

private:
    TExtTabBar* bar_;
};

} // namespace tunquil::ui
