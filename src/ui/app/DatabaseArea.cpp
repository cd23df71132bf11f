#include "ui/app/DatabaseArea.h"

#include "ui/app/MasterLayout.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/Glyphs.h"
#include "ui/controls/TDropButton.h"

#include <QCursor>
#include <QEvent>
#include <QLineEdit>

namespace tunquil::ui {

DatabaseArea::DatabaseArea(double scale, MainWindowSettings& settings, QWidget* window)
    : QWidget(window), scale_(scale), settings_(settings) {
    setObjectName("DatabasePanel");
    setMinimumHeight(Px(120));

    auto tool = [&](auto* button, const char* name, GlyphKind glyph, const QString& hint,
                    int helpContext) {
        button->setParent(this);
        button->setObjectName(name);
        button->setIcon(Glyph(glyph, 18));
        button->setIconSize(QSize(Px(18), Px(18)));
        button->setFixedSize(Px(25), Px(25));
        SetHint(button, hint, helpContext);
        return button;
    };
    DatabaseToolbar& t = toolbar_;
    t.newAlbum = tool(new QToolButton, "NewAlb", GlyphKind::NewAlbum, "New|Create a new album", 5);
    t.load =
        tool(new QToolButton, "LoadFiles", GlyphKind::Load, "Load|Load MIDIs into Tunquil", 20);
    t.driveScan = tool(new QToolButton, "DriveScan", GlyphKind::ScanDrive,
                       "Scan drive|Scan a drive for MIDIs", 10);
    t.systemScan = tool(new QToolButton, "GetLocal", GlyphKind::ScanSystem,
                        "Scan system|Scan system for MIDIs", 7);
    t.edit = tool(new TDropButton, "EditCat", GlyphKind::Edit,
                  "Edit|Rename a category or edit a title", 6);
    t.mail = tool(new TDropButton, "MailTitle", GlyphKind::Mail,
                  "Mail|Mail titles or a category to Internet email address", 27);
    t.archive = tool(new TDropButton, "Archive", GlyphKind::Archive,
                     "Archive|Archive music in a single compressed file", 21);
    t.save = tool(new TDropButton, "ExportTitle", GlyphKind::Save,
                  "Save|Save titles or categories to disk", 8);
    t.print =
        tool(new TDropButton, "PrintCat", GlyphKind::Print, "Print|Print categories or albums", 31);
    t.trash = tool(new TDropButton, "TrashCat", GlyphKind::Delete,
                   "Delete|Delete titles or categories, permanently", 9);

    find_ = new QLineEdit(this);
    find_->setObjectName("FindTitles");
    find_->setPlaceholderText("Find titles");
    find_->setAccessibleName("Find titles");
    find_->setClearButtonEnabled(true);
    for (QToolButton* clear : find_->findChildren<QToolButton*>())
        clear->setAccessibleName("Clear the search");
    find_->setFixedHeight(Px(23));
    SetHint(find_, "Find titles|Show only the titles with these words (Ctrl+F)", 18);

    albumPanel_ = LoweredFrame(this, 3);
    albumPanel_->setObjectName("AlbumPanel");
    categoryPanel_ = LoweredFrame(this, 3);
    categoryPanel_->setObjectName("CategoryPanel");

    separator_ = new QWidget(this);
    separator_->setObjectName("Separator");
    separator_->setCursor(Qt::SplitHCursor);
    separator_->setAccessibleName("Separator");
    separator_->installEventFilter(this);
    separatorLine_ = new QWidget(window);
    separatorLine_->setStyleSheet("background: rgb(90,90,90);");
    separatorLine_->hide();
}

int DatabaseArea::Px(int pixels) const {
    return static_cast<int>(pixels * scale_ + 0.5);
}

void DatabaseArea::LayOut() {
    const int w = width(), h = height();
    const bool tools = settings_.showTools;
    const DatabaseToolbar& t = toolbar_;
    t.newAlbum->move(Px(7), Px(4));
    std::vector<QWidget*> middle{t.edit, t.mail, t.archive, t.save, t.print, t.trash};
    std::vector<int> widths;
    for (QWidget* b : middle)
        widths.push_back(b->width());
    std::vector<int> lefts = MiddleGroupLefts(w, widths);
    for (std::size_t i = 0; i < middle.size(); ++i)
        middle[i]->move(lefts[i], Px(4));
    // The search field takes the room between New and the drop targets, up to a width that
    // holds a few words.
    const int findLeft = t.newAlbum->x() + t.newAlbum->width() + Px(8);
    const int findWidth = std::min(Px(220), lefts.front() - Px(10) - findLeft);
    find_->setGeometry(findLeft, Px(5), std::max(findWidth, Px(60)), find_->height());
    t.systemScan->move(w - t.systemScan->width() - Px(7), Px(4));
    t.driveScan->move(t.systemScan->x() - Px(5) - t.driveScan->width(), Px(4));
    t.load->move(t.driveScan->x() - Px(5) - t.load->width(), Px(4));
    for (QWidget* b : std::initializer_list<QWidget*>{t.load, t.driveScan, t.archive, t.print})
        b->setVisible(tools);

    albumPanel_->hide();
    categoryPanel_->hide();
    // The width shown is clamped to the window; the width kept is the user's, so that a window
    // made narrow for a while gets its album panel back when it is widened.
    DatabaseAreaLayout layout =
        LayOutDatabaseArea(qRound(w / scale_), qRound(h / scale_), tools, settings_.albPanelWidth);
    auto place = [this](QWidget* wgt, const PanelGeometry& g) {
        wgt->setGeometry(Px(g.left), Px(g.top), Px(g.width), Px(g.height));
    };
    place(albumPanel_, layout.albumPanel);
    place(separator_, layout.separator);
    place(categoryPanel_, layout.categoryPanel);
    albumPanel_->show();
    categoryPanel_->show();
    albumPanel_->raise();
    categoryPanel_->raise();
}

void DatabaseArea::resizeEvent(QResizeEvent* event) {
    // The area gets its size from the window's layout after the window's own resize.
    QWidget::resizeEvent(event);
    LayOut();
}

void DatabaseArea::SeparatorDragged(int distance) {
    int albumWidth = qRound(albumPanel_->width() / scale_);
    int categoryWidth = qRound(categoryPanel_->width() / scale_);
    settings_.albPanelWidth = AlbumWidthAfterDrag(albumWidth, categoryWidth, distance);
    LayOut();
}

bool DatabaseArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched != separator_)
        return QWidget::eventFilter(watched, event);
    QWidget* frame = window();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        separatorPressX_ = QCursor::pos().x();
        separatorDragging_ = true;
        return true;
    case QEvent::MouseMove:
        if (!separatorDragging_)
            break;
        if (QPoint at = frame->mapFromGlobal(QCursor::pos());
            at.x() >= mapTo(frame, QPoint(0, 0)).x() + Px(kMinPanelWidth) &&
            at.x() <= frame->width() - Px(kMinPanelWidth)) {
            QPoint top = separator_->mapTo(frame, QPoint(0, 0));
            separatorLine_->setGeometry(at.x(), top.y(), Px(4), separator_->height() - 3);
            separatorLine_->show();
            separatorLine_->raise();
        }
        return true;
    case QEvent::MouseButtonRelease:
        if (!separatorDragging_)
            break;
        separatorDragging_ = false;
        separatorLine_->hide();
        SeparatorDragged(qRound((QCursor::pos().x() - separatorPressX_) / scale_));
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tunquil::ui
