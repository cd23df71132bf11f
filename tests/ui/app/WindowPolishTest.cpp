// The main window as a new user meets it, offscreen: the first start's size, the splash that
// names the program's version and never hides a question, the status line's summary shown
// whole, and the help pages naming only menu items that exist.

#include "base/Version.h"
#include "platform/FakeSequencerDevice.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/app/ScreenPlacement.h"
#include "ui/app/TMasterFrm.h"
#include "ui/app/TSplashFrm.h"
#include "ui/controls/THelpWindow.h"
#include "ui/controls/TMessageDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

std::unique_ptr<TMasterFrm> Window(const fs::path& home) {
    test::GuiTestApp();
    return std::make_unique<TMasterFrm>(home, std::make_unique<platform::FakeSequencerDevice>());
}

QString Plain(QString caption) {
    return caption.remove('&');
}

TEST(FirstStart, TheWindowIsSizedForItsScreenUntilASizeIsStored) {
    test::TempDir home;
    auto window = Window(home.path());
    window->ApplySavedSettings();
    const QRect screen = window->screen()->availableGeometry();
    const QRect shown = window->geometry();
    // Most of the screen, on it and centred, not the 585 by 400 of a stored default.
    EXPECT_GE(shown.width(), screen.width() * 3 / 4);
    EXPECT_GE(shown.height(), screen.height() * 3 / 4);
    EXPECT_TRUE(screen.contains(shown));
    EXPECT_LE((shown.center() - screen.center()).manhattanLength(), 2);

    // A settings file without a size (written by hand, or by a copy that was maximised) is
    // still a window without a size of its own.
    test::TempDir other;
    other.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\n");
    auto noSize = Window(other.path());
    noSize->ApplySavedSettings();
    EXPECT_EQ(noSize->geometry().size(), shown.size());

    // Once a size is kept, it is the one used.
    test::TempDir kept;
    kept.Write("Tunquil.ini", "[Format]\nTop=40\nLeft=30\nWidth=600\nHeight=420\n");
    auto stored = Window(kept.path());
    stored->ApplySavedSettings();
    EXPECT_EQ(stored->geometry(), QRect(30, 40, 600, 420));

    // On a screen as large as a person's: far beyond the old default.
    const QRect large = SizedForScreen(QRect(0, 0, 1600, 970), QSize(520, 380));
    EXPECT_GE(large.width(), 1200);
    EXPECT_GE(large.height(), 720);
    EXPECT_TRUE(QRect(0, 0, 1600, 970).contains(large));
    // A screen smaller than the window's least size: as large as the screen.
    EXPECT_EQ(SizedForScreen(QRect(0, 0, 500, 360), QSize(520, 380)), QRect(0, 0, 500, 360));
}

TEST(FirstStart, TheSplashNamesTheVersionAndStepsAsideForAQuestion) {
    test::GuiTestApp();
    test::TempDir home;
    QPointer<TSplashFrm> splash = new TSplashFrm(home.path(), [] { return false; });
    EXPECT_TRUE(splash->LabelText().contains(QString("Tunquil %1 ").arg(kVersion)))
        << splash->LabelText().toStdString();
    splash->show();
    // A window that is not a question leaves it up.
    QWidget plain;
    plain.show();
    EXPECT_TRUE(splash->isVisible());

    // The first-start question opens while the splash is up (it stays on top, and would
    // hide it): the splash closes as the question shows.
    QWidget owner;
    owner.show();
    TMessageDialog md(&owner);
    md.Text = "Scan your system to find all MIDI files (recommended)?";
    md.Buttons = mbYes | mbNo;
    bool splashUpAtQuestion = true;
    md.OnShow = [&] {
        QTimer::singleShot(0, [&] {
            splashUpAtQuestion = splash && splash->isVisible();
            md.Box()->Button(mbNo)->click();
        });
    };
    EXPECT_EQ(md.Execute(), TModalResult::mrNo);
    EXPECT_FALSE(splashUpAtQuestion);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
}

TEST(FirstStart, AQuestionOpenedUnderAStayOnTopWindowStaysOnTopToo) {
    test::GuiTestApp();
    QWidget owner;
    owner.show();
    QWidget onTop(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    TMessageDialog md(&owner);
    md.Text = "A question";
    md.Buttons = mbOK;
    bool staysOnTop = true;
    md.OnShow = [&] {
        staysOnTop = md.Box()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        QTimer::singleShot(0, [&] { md.Box()->Button(mbOK)->click(); });
    };
    md.Execute();
    EXPECT_FALSE(staysOnTop); // nothing on top: an ordinary box
    onTop.show();
    md.Execute();
    EXPECT_TRUE(staysOnTop);
}

TEST(StatusLine, ALongSummaryIsShownWholeBesideTheRoomItNeeds) {
    test::TempDir home;
    home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\n[Format]\nWidth=900\nHeight=600\n");
    auto window = Window(home.path());
    window->ApplySavedSettings();
    window->show();
    const QString summary = "Done: 12 found, 10 added, 2 skipped as duplicate, 1 unreadable";
    window->Widgets().Status(summary.toStdString());
    QCoreApplication::processEvents();
    QLabel* hint = window->HintPanel();
    EXPECT_EQ(hint->text(), summary);
    EXPECT_GE(hint->contentsRect().width(), hint->fontMetrics().horizontalAdvance(summary));
}

// Every "Menu | Item" path in bold in a help page, and whether the window's menus hold it.
TEST(HelpPages, EveryMenuPathTheyNameIsInTheMenuBar) {
    test::TempDir home;
    home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\n");
    auto window = Window(home.path());
    THelpWindow::TopicUrl(0); // the pages are compiled in, and registered on first use
    const QStringList pages = QDir(":/help").entryList({"*.html"});
    ASSERT_GE(pages.size(), 10);
    const QRegularExpression bold("<b>([^<]*)</b>");
    int paths = 0;
    for (const QString& page : pages) {
        QFile file(":/help/" + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
        const QString html = QString::fromUtf8(file.readAll());
        QString outside = html;
        for (const auto& match : bold.globalMatch(html)) {
            QString path = match.captured(1);
            outside.replace(match.captured(0), "");
            if (!path.contains(" | "))
                continue;
            ++paths;
            path.replace("&amp;", "&");
            const QStringList steps = path.split(" | ");
            QList<QAction*> actions = window->menuBar()->actions();
            QString found;
            for (const QString& step : steps) {
                QAction* hit = nullptr;
                for (QAction* a : actions)
                    if (!a->isSeparator() && Plain(a->text()) == step)
                        hit = a;
                if (!hit)
                    break;
                found += (found.isEmpty() ? "" : " | ") + step;
                actions = hit->menu() ? hit->menu()->actions() : QList<QAction*>{};
            }
            EXPECT_EQ(found.toStdString(), path.toStdString()) << page.toStdString();
        }
        // A path written outside bold would escape the check.
        EXPECT_FALSE(outside.contains(" | ")) << page.toStdString();
    }
    EXPECT_GE(paths, 5);
}

} // namespace
} // namespace tunquil::ui
