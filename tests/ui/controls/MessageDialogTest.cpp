// The message and input boxes offscreen: texts shown as typed, the button sets with their
// default and help buttons, placement over the owner, and the host's questions through them.

#include "ui/GuiTestApp.h"
#include "ui/WidgetHost.h"
#include "ui/controls/THelpWindow.h"
#include "ui/controls/TInputDialog.h"
#include "ui/controls/TMessageDialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

// Runs `act` on the modal box once it is up; `act` must close it.
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

std::string Spoken(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).toStdString();
}

class MessageDialogTest : public ::testing::Test {
protected:
    void SetUp() override { tunquil::test::GuiTestApp(); }
    void TearDown() override { THelpWindow::Quit(); }
};

TEST_F(MessageDialogTest, HostShowsMessagesAsTypedNotAsMarkup) {
    QWidget owner;
    WidgetHost host(&owner);
    for (std::string typed : {"<b>Hi</b>", "a<b", "Tom & Jerry&nbsp;"}) {
        std::vector<std::string> read;
        WhenModal([&](QWidget* box) {
            for (QLabel* label : box->findChildren<QLabel*>())
                read.push_back(Spoken(label));
            box->findChild<QAbstractButton*>()->click();
        });
        EXPECT_EQ(host.ShowMessage(typed, TMsgDlgType::mtInformation, 0, mbOK), TModalResult::mrOk);
        // What a screen reader reads is what the box shows.
        EXPECT_TRUE(std::find(read.begin(), read.end(), typed) != read.end()) << typed;
    }
}

TEST_F(MessageDialogTest, BoxHoldsExactlyTheChosenButtonsAndFocusesTheDefault) {
    TMessageDialog md;
    md.Buttons = mbYes | mbNo | mbHelp;
    md.DefaultButton = mbNo;
    auto box = md.BuildBox("Delete?");
    for (TMsgDlgBtn b : {mbYes, mbNo, mbHelp})
        EXPECT_NE(box->Button(b), nullptr);
    for (TMsgDlgBtn b : {mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll})
        EXPECT_EQ(box->Button(b), nullptr);
    EXPECT_EQ(box->focusWidget(), box->Button(mbNo));
    EXPECT_EQ(Spoken(box->Button(mbNo)), "No");

    // A default outside the set leaves the focus alone rather than failing.
    md.Buttons = mbOK | mbCancel;
    md.DefaultButton = mbRetry;
    EXPECT_EQ(md.BuildBox("x")->Button(mbRetry), nullptr);

    // An empty set still gives the user a way out.
    md.Buttons = 0;
    EXPECT_NE(md.BuildBox("x")->Button(mbOK), nullptr);
}

TEST_F(MessageDialogTest, ReturnsThePressedButtonAndEscapeTakesTheHarmlessAnswer) {
    TMessageDialog md;
    md.Buttons = mbYes | mbNo | mbCancel;
    WhenModal([](QWidget* box) { static_cast<TMessageBox*>(box)->Button(mbNo)->click(); });
    EXPECT_EQ(md.Execute("Save?"), TModalResult::mrNo);

    WhenModal([](QWidget* box) { static_cast<QDialog*>(box)->reject(); });
    EXPECT_EQ(md.Execute("Save?"), TModalResult::mrCancel);

    md.Buttons = mbYes | mbNo;
    WhenModal([](QWidget* box) { static_cast<QDialog*>(box)->reject(); });
    EXPECT_EQ(md.Execute("Delete?"), TModalResult::mrNo);

    md.Buttons = mbAll | mbIgnore;
    WhenModal([](QWidget* box) { static_cast<TMessageBox*>(box)->Button(mbAll)->click(); });
    EXPECT_EQ(md.Execute("Replace?"), TModalResult::mrAll);
}

TEST_F(MessageDialogTest, HelpButtonOpensTheTopicAndLeavesTheBoxOpen) {
    TMessageDialog md;
    md.Buttons = mbYes | mbNo | mbHelp;
    md.HelpContext = 201;
    bool stillOpen = false;
    QUrl topic;
    WhenModal([&](QWidget* modal) {
        auto* box = static_cast<TMessageBox*>(modal);
        box->Button(mbHelp)->click();
        stillOpen = box->isVisible();
        ASSERT_NE(THelpWindow::Instance(), nullptr);
        topic = THelpWindow::Instance()->Browser()->source();
        THelpWindow::Quit();
        box->Button(mbYes)->click();
    });
    bool closed = false;
    md.OnClose = [&] { closed = true; };
    EXPECT_EQ(md.Execute("Scan your system to find all MIDI files (recommended)?\\n"),
              TModalResult::mrYes);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(topic, THelpWindow::TopicUrl(201));
    EXPECT_TRUE(closed);
    EXPECT_EQ(md.Box(), nullptr);
}

TEST_F(MessageDialogTest, StoredLineSeparatorsBecomeLineBreaks) {
    TMessageDialog md;
    EXPECT_EQ(md.BuildBox("one\\ntwo\\n")->TextLabel()->text().toStdString(), "one\ntwo\n");
    md.LineSeparator = "|";
    EXPECT_EQ(md.BuildBox("a|b\\n")->TextLabel()->text().toStdString(), "a\nb\\n");
}

TEST_F(MessageDialogTest, BoxIsCentredOverAVisibleOwnerAndKeptOnTheScreen) {
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(screen.left() + 100, screen.top() + 100, 400, 300);
    owner.show();
    TMessageDialog md(&owner);
    auto box = md.BuildBox("Centred");
    EXPECT_LE(std::abs(box->frameGeometry().center().x() - owner.frameGeometry().center().x()), 1);
    EXPECT_LE(std::abs(box->frameGeometry().center().y() - owner.frameGeometry().center().y()), 1);

    // An owner hanging off the top-left corner: the box stays fully on the screen.
    owner.setGeometry(screen.left() - 350, screen.top() - 250, 400, 300);
    box = md.BuildBox("Clamped");
    EXPECT_TRUE(screen.contains(box->frameGeometry().topLeft()));

    md.Position = TMsgDlgPosition::poDesigned;
    md.PositionLeft = 12;
    md.PositionTop = 34;
    EXPECT_EQ(md.BuildBox("Placed")->pos(), QPoint(12, 34));

    // A hidden owner leaves the box at its own place, the middle of the screen.
    owner.hide();
    md.Position = TMsgDlgPosition::poParentCenter;
    box = md.BuildBox("Alone");
    EXPECT_LE(std::abs(box->frameGeometry().center().x() - screen.center().x()), 1);
}

TEST_F(MessageDialogTest, InputBoxReturnsTheEditedLineOnlyOnOk) {
    TInputDialog input;
    input.Text = "Old name";
    WhenModal([](QWidget* modal) {
        auto* box = static_cast<TInputBox*>(modal);
        box->Edit()->setText("New name");
        box->reject();
    });
    EXPECT_FALSE(input.Execute("Rename <album>:"));
    EXPECT_EQ(input.Text.toStdString(), "Old name");

    std::string prompt, caption;
    WhenModal([&](QWidget* modal) {
        auto* box = static_cast<TInputBox*>(modal);
        prompt = box->PromptLabel()->text().toStdString();
        caption = box->windowTitle().toStdString();
        box->Edit()->setText("New name");
        box->accept();
    });
    EXPECT_TRUE(input.Execute("Rename <album>:"));
    EXPECT_EQ(input.Text.toStdString(), "New name");
    EXPECT_EQ(prompt, "Rename <album>:");
    EXPECT_EQ(caption, "Input");

    // Through the host, as the core asks.
    WidgetHost host;
    std::string text = "Mix";
    WhenModal([](QWidget* modal) {
        auto* box = static_cast<TInputBox*>(modal);
        box->Edit()->setText("Party mix");
        box->accept();
    });
    EXPECT_TRUE(host.InputText("New album", "Album name:", text));
    EXPECT_EQ(text, "Party mix");

    // A password asked for never shows on the screen.
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    WhenModal([&](QWidget* modal) {
        auto* box = static_cast<TInputBox*>(modal);
        echo = box->Edit()->echoMode();
        box->Edit()->setText("s3cret");
        box->accept();
    });
    std::string password;
    EXPECT_TRUE(host.InputSecret("Mail password", "Password:", password));
    EXPECT_EQ(password, "s3cret");
    EXPECT_EQ(echo, QLineEdit::Password);
}

} // namespace
} // namespace tunquil::ui
