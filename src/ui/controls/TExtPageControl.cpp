#include "ui/controls/TExtPageControl.h"

#include <QApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusTipEvent>
#include <QStyleOptionTab>
#include <QStylePainter>

namespace tunquil::ui {

namespace {
constexpr int kPictureSize = 12;

QFont BoldOf(QFont font) {
    font.setBold(true);
    return font;
}

void DrawAlbumPicture(QPainter& p, const QRect& box) {
    // A small record: a dark disc with a light label.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(box);
    p.setBrush(QColor(200, 60, 60));
    p.drawEllipse(box.center(), box.width() / 5, box.height() / 5);
    p.restore();
}
} // namespace

TExtTabBar::TExtTabBar(QWidget* parent) : QTabBar(parent) {
    setMouseTracking(true);
    setExpanding(false);
    setDrawBase(true);
}

QSize TExtTabBar::tabSizeHint(int index) const {
    // Room for the bold caption, whichever tab is active.
    QFontMetrics bold(BoldOf(font()));
    QSize size = QTabBar::tabSizeHint(index);
    int width = bold.horizontalAdvance(tabText(index)) + 16;
    if (pictureTabs && index > 0)
        width += kPictureSize + 10;
    return QSize(std::max(size.width(), width), std::max(size.height(), bold.height() + 8));
}

void TExtTabBar::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    for (int i = 0; i < count(); ++i) {
        if (!isTabVisible(i))
            continue;
        QRect r = tabRect(i);
        const bool active = i == currentIndex();
        if (!active)
            r.adjust(0, 2, 0, 0);
        painter.fillRect(r, active ? activeColor : inactiveColor);
        painter.setPen(QColor(255, 255, 255));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(QColor(100, 100, 100));
        painter.drawLine(r.topRight(), r.bottomRight());
        QFont font = active ? BoldOf(this->font()) : this->font();
        painter.setFont(font);
        QColor text = !isTabEnabled(i) ? QColor(128, 128, 128)
                      : active         ? activeFontColor
                                       : QColor(Qt::black);
        painter.setPen(text);
        if (pictureTabs && i > 0) {
            QRect picture(r.left() + 5, r.center().y() - kPictureSize / 2, kPictureSize,
                          kPictureSize);
            DrawAlbumPicture(painter, picture);
            QRect caption = r.adjusted(5 + kPictureSize + 5, 0, 0, 0);
            painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             tabText(i));
        } else {
            painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, tabText(i));
        }
    }
}

void TExtTabBar::ShowHint(const QString& hint) {
    QStatusTipEvent tip(hint);
    QApplication::sendEvent(this, &tip);
}

void TExtTabBar::mousePressEvent(QMouseEvent* event) {
    pressPos_ = event->position().toPoint();
    pressTab_ = event->button() == Qt::LeftButton ? tabAt(pressPos_) : -1;
    QTabBar::mousePressEvent(event);
}

void TExtTabBar::mouseMoveEvent(QMouseEvent* event) {
    if (pressTab_ >= 0 && (event->buttons() & Qt::LeftButton) && titlesOfTab &&
        (event->position().toPoint() - pressPos_).manhattanLength() >=
            QApplication::startDragDistance()) {
        DraggedTitles titles = titlesOfTab(pressTab_);
        pressTab_ = -1;
        if (!titles.keys.empty() || (titles.fromTab && titles.source != SelectionSource::None)) {
            auto* drag = new QDrag(this);
            drag->setMimeData(MakeTitleKeysMime(titles));
            drag->exec(Qt::CopyAction, Qt::CopyAction);
            return;
        }
    }
    int tab = tabAt(event->position().toPoint());
    if (tab != hintTab_) {
        hintTab_ = tab;
        QString hint = tab >= 0 ? tabToolTip(tab) : QString();
        setStatusTip(hint);
        ShowHint(hint);
    }
    QTabBar::mouseMoveEvent(event);
}

void TExtTabBar::leaveEvent(QEvent* event) {
    hintTab_ = -1;
    QTabBar::leaveEvent(event);
}

TExtPageControl::TExtPageControl(QWidget* parent) : QTabWidget(parent), bar_(new TExtTabBar) {
    setTabBar(bar_);
    setUsesScrollButtons(true);
    setDocumentMode(false);
    connect(this, &QTabWidget::currentChanged, bar_, qOverload<>(&QWidget::update));
}

void TExtPageControl::SetTabActiveColor(const QColor& color) {
    if (bar_->activeColor != color) {
        bar_->activeColor = color;
        bar_->update();
    }
}

void TExtPageControl::SetTabActiveFontColor(const QColor& color) {
    bar_->activeFontColor = color;
    bar_->update();
}

void TExtPageControl::SetTabInactiveColor(const QColor& color) {
    if (bar_->inactiveColor != color) {
        bar_->inactiveColor = color;
        bar_->update();
    }
}

// Qt keeps a tab's tool tip with the tab when tabs are inserted or removed before it, so the
// hint is stored there and never looked up by a remembered index.
void TExtPageControl::SetTabHint(QWidget* page, const QString& hint) {
    int index = indexOf(page);
    if (index >= 0)
        setTabToolTip(index, hint);
}

QString TExtPageControl::TabHint(int index) const {
    return tabToolTip(index);
}

void TExtPageControl::ShowTabsAfterFirst(bool show) {
    if (!show && count() > 0)
        setCurrentIndex(0);
    for (int i = 1; i < count(); ++i)
        setTabVisible(i, show);
    bar_->update();
}

} // namespace tunquil::ui
