// The help topics, the device notice and the About box offscreen.

#include "base/Version.h"
#include "ui/GuiTestApp.h"
#include "ui/WidgetHost.h"
#include "ui/controls/TAboutBox.h"
#include "ui/controls/THelpWindow.h"
#include "ui/controls/TUnMIDIFrm.h"

#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

QString Page(const QUrl& url) {
    QFile file(":" + url.path());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class HelpAndNoticeTest : public ::testing::Test {
protected:
    void SetUp() override { tunquil::test::GuiTestApp(); }
    void TearDown() override { THelpWindow::Quit(); }
};

TEST_F(HelpAndNoticeTest, EveryHelpContextTheControlsCarryHasItsOwnTopic) {
    // The contexts of the main window's controls, its questions and the dialogs.
    std::vector<int> used{2,  3,  4,  5,  6,  7,  8,  9,  10,  11,   12,   14,   15,  16,
                          17, 18, 20, 21, 27, 31, 33, 34, 201, 1000, 1033, 1076, 1080};
    for (int context = 7002; context <= 7011; ++context)
        used.push_back(context);
    for (int context : used) {
        SCOPED_TRACE(context);
        ASSERT_TRUE(THelpWindow::HasTopic(context));
        QUrl url = THelpWindow::TopicUrl(context);
        QString page = Page(url);
        ASSERT_FALSE(page.isEmpty()) << url.toString().toStdString();
        if (url.hasFragment()) {
            EXPECT_TRUE(page.contains("id=\"" + url.fragment() + "\""))
                << url.toString().toStdString();
        }
    }
    // The help cursor's pop-up shows the control's own section only.
    QString play = THelpWindow::PopupHtml(4);
    EXPECT_TRUE(play.contains("Add</h2>"));
    EXPECT_FALSE(play.contains("Add and play"));
    EXPECT_TRUE(THelpWindow::PopupHtml(9).contains("Delete"));

    EXPECT_EQ(THelpWindow::TopicUrl(0), QUrl("qrc:/help/contents.html"));
    EXPECT_EQ(THelpWindow::TopicUrl(4242), QUrl("qrc:/help/contents.html"));
}

TEST_F(HelpAndNoticeTest, ContentsLeadToEveryPageAndEveryLinkLeadsToAPage) {
    QString contents = Page(THelpWindow::TopicUrl(0));
    QDirIterator pages(":/help", {"*.html"});
    int count = 0;
    while (pages.hasNext()) {
        QString name = QFileInfo(pages.next()).fileName();
        ++count;
        if (name != "contents.html") {
            EXPECT_TRUE(contents.contains("href=\"" + name + "\"")) << name.toStdString();
        }
        QString page = Page(QUrl("qrc:/help/" + name));
        static const QRegularExpression link("href=\"([a-z]+\\.html)");
        for (auto it = link.globalMatch(page); it.hasNext();) {
            QString target = it.next().captured(1);
            EXPECT_FALSE(Page(QUrl("qrc:/help/" + target)).isEmpty()) << target.toStdString();
        }
    }
    EXPECT_GT(count, 10);
}

TEST_F(HelpAndNoticeTest, ShowTopicOpensOneSharedWindowAtTheTopic) {
    QWidget main;
    THelpWindow::ShowTopic(21, &main);
    THelpWindow* window = THelpWindow::Instance();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Browser()->toPlainText().contains("Archive"));
    THelpWindow::ShowContents(&main);
    EXPECT_EQ(THelpWindow::Instance(), window);
    EXPECT_EQ(window->Browser()->source(), QUrl("qrc:/help/contents.html"));
    // Esc closes it.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->Browser(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(THelpWindow::Instance(), nullptr);
}

TEST_F(HelpAndNoticeTest, DeviceNoticeShowsItsTextOrAGivenMessageAndKeepsQuietAfterClose) {
    QWidget main;
    WidgetHost host(&main);
    host.ShowDeviceUnavailable("");
    TUnMIDIFrm& notice = host.DeviceNotice();
    EXPECT_TRUE(notice.isVisible());
    EXPECT_EQ(notice.windowTitle().toStdString(), "MIDI device unavailable");
    EXPECT_TRUE(notice.Text().startsWith(
        "Tunquil could not open its MIDI output: the synthesizer or the sound server\n"));
    EXPECT_TRUE(
        notice.Text().endsWith("     2. Choose another SoundFont (Settings > SoundFont...)."));

    host.ShowDeviceUnavailable("No SoundFont found: install fluid-soundfont-gm");
    EXPECT_EQ(notice.Text().toStdString(), "No SoundFont found: install fluid-soundfont-gm");

    notice.CloseButton()->click();
    EXPECT_FALSE(notice.isVisible());
    EXPECT_TRUE(notice.Quiet());
    EXPECT_FALSE(notice.ShowNotice());
    EXPECT_FALSE(notice.isVisible());
}

TEST_F(HelpAndNoticeTest, AboutBoxNamesTheProgramItsVersionAndShowsTheIcon) {
    QWidget main;
    main.show();
    QStringList texts;
    bool icon = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QLabel* label : box->findChildren<QLabel*>()) {
            texts << label->text();
            icon = icon || (label->objectName() == "icon" && !label->pixmap().isNull());
        }
        box->accept();
    });
    TAboutBox::Execute(&main);
    EXPECT_TRUE(texts.contains("Tunquil"));
    EXPECT_TRUE(texts.contains(QString("Version ") + kVersion));
    EXPECT_TRUE(icon);
}

} // namespace
} // namespace tunquil::ui
