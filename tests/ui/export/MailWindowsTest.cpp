// The mail window and its setup dialog offscreen, sending real titles to the test's SMTP
// server and reading back what it received.

#include "export/DatabaseTitleExporter.h"
#include "export/archive/ZipArchiveWriter.h"
#include "support/MidiBytes.h"
#include "support/SmtpSink.h"
#include "support/TestProgram.h"
#include "ui/GuiTestApp.h"
#include "ui/controls/THelpWindow.h"
#include "ui/export/TMailForm.h"
#include "ui/export/TSetupDlg.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using test::SmallMidiFile;
using test::TestProgram;

// Runs `act` on the modal dialog once it is up; `act` must close it.
void WhenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(box);
        }
    });
    poll->start(5);
}

TEST(MailSetupDialog, ShowsAndStoresEveryMailSettingKeepingTheRest) {
    tunquil::test::GuiTestApp();
    MailSettings settings;
    settings.server = "mail.example.org";
    settings.security = 1;
    settings.port = 2525;
    settings.user = "bob";
    settings.encoding = 1;
    settings.ras = 2;
    TSetupDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Tunquil mail setup");
    dialog.Load(settings);
    EXPECT_EQ(dialog.Server->text(), "mail.example.org");
    EXPECT_EQ(dialog.Security->currentText(), "STARTTLS");
    EXPECT_EQ(dialog.Port->value(), 2525);
    EXPECT_EQ(dialog.User->text(), "bob");
    EXPECT_EQ(dialog.Encoding->currentText(), "UUCode");
    EXPECT_EQ(dialog.Ras->currentText(), "None");

    dialog.Security->setCurrentIndex(2);
    dialog.Port->setValue(0);
    dialog.EMail->setText("bob@example.org");
    dialog.Store(settings);
    EXPECT_EQ(settings.security, 2);
    EXPECT_EQ(settings.port, 0);
    EXPECT_EQ(settings.emailAddress, "bob@example.org");
    EXPECT_EQ(settings.ras, 2);
}

class MailWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        tunquil::test::GuiTestApp();
        fs::create_directories(p.dir / "TempMail");
        keys = {p.AddTitle("First", SmallMidiFile(2, "1")),
                p.AddTitle("Second", SmallMidiFile(2, "2"))};
    }
    TestProgram p;
    test::SmtpSink sink;
    DatabaseTitleExporter exporter{p.db(), p.host, p.dir.path()};
    ZipArchiveWriter archiver;
    std::vector<int> keys;
};

TEST_F(MailWindowTest, SendsTheListedTitlesToTrimmedRecipients) {
    TMailForm form(p.dir.path(), exporter, archiver);
    form.Mailer().settings.server = sink.server();
    form.Mailer().settings.emailAddress = "me@example.org";
    form.MailTitles(keys);
    EXPECT_EQ(form.windowTitle(), " Mail the attached 2 title(s)");
    ASSERT_EQ(form.Attachments->topLevelItemCount(), 2);
    EXPECT_EQ(form.Attachments->topLevelItem(1)->text(2), "Second");

    form.ToEdit->setText("a@example.org; b@example.org;");
    form.SubjectEdit->setText("Two tunes");
    form.Body->setPlainText("Listen");
    ASSERT_TRUE(form.SendMail());
    EXPECT_EQ(form.StatusPanels[0]->text(), "Mail sent");
    EXPECT_TRUE(form.SendAction->isEnabled());
    EXPECT_FALSE(form.CancelAction->isEnabled());
    EXPECT_TRUE(form.ToEdit->isEnabled());

    ASSERT_EQ(sink.Messages().size(), 1u);
    test::ReceivedMail mail = sink.Read(sink.Messages()[0]);
    EXPECT_EQ(mail.recipients, (std::vector<std::string>{"a@example.org", "b@example.org"}));
    EXPECT_EQ(mail.Header("Subject"), "Two tunes");
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].fileName, "2MIDI files.zip");
    EXPECT_NE(mail.body.find("\"Second\" by"), std::string::npos);
}

// The Help menu's items used to do nothing.
TEST_F(MailWindowTest, TheHelpMenuOpensTheMailingTopicAndTheHelpCursor) {
    TMailForm form(p.dir.path(), exporter, archiver);
    form.show();
    auto item = [&](const QString& caption) {
        for (QMenu* menu : form.menuBar()->findChildren<QMenu*>())
            for (QAction* a : menu->actions())
                if (a->text() == caption)
                    return a;
        return static_cast<QAction*>(nullptr);
    };
    item("&View help file")->trigger();
    ASSERT_NE(THelpWindow::Instance(), nullptr);
    EXPECT_EQ(THelpWindow::Instance()->Browser()->source(), THelpWindow::TopicUrl(27));
    THelpWindow::Quit();

    item("&Use help cursor")->trigger();
    EXPECT_TRUE(form.HelpCursor());
    QTest::keyClick(form.ToEdit, Qt::Key_Escape);
    EXPECT_FALSE(form.HelpCursor());
}

TEST_F(MailWindowTest, AMissingServerOpensTheSetupBeforeSending) {
    TMailForm form(p.dir.path(), exporter, archiver);
    form.Mailer().settings.emailAddress = "me@example.org";
    form.MailTitles({keys[0]});
    form.ToEdit->setText("a@example.org");
    int shown = 0;
    WhenModal([&](QWidget* box) {
        ++shown;
        auto* setup = qobject_cast<TSetupDlg*>(box);
        ASSERT_TRUE(setup);
        setup->Server->setText(QString::fromStdString(sink.server()));
        setup->accept();
    });
    ASSERT_TRUE(form.SendMail());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(form.Mailer().settings.server, sink.server());
    EXPECT_EQ(sink.Messages().size(), 1u);
    // Complete settings send without asking again.
    ASSERT_TRUE(form.SendMail());
    EXPECT_EQ(shown, 1);
}

} // namespace
} // namespace tunquil::ui
