// The program dialog offscreen over a play program with a scripted player.

#include "app/PlayFakes.h"
#include "app/PlayProgram.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/midi/TViewProgFrm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using namespace tunquil::test;

class ProgramWindowTest : public ::testing::Test, protected FakePlaySetup {
protected:
    ProgramWindowTest() : FakePlaySetup(3) {}
    std::unique_ptr<TViewProgFrm> window;

    void SetUp() override {
        GuiTestApp();
        window = std::make_unique<TViewProgFrm>(program, [this](int key, TitleRecord& record) {
            auto t = store.titles.find(key);
            if (t == store.titles.end())
                return false;
            record.title = t->second.texts.title;
            record.firstName = "Ann";
            record.lastName = "Lee";
            record.duration = key * 30;
            return true;
        });
        program.onChanged = [this] { window->Refresh(); };
    }
    QString Cell(int row, int column) const {
        return window->SG1->model()->index(row, column).data().toString();
    }
    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(window->SG1, &press);
        QCoreApplication::sendEvent(window->SG1, &release);
    }
};

TEST_F(ProgramWindowTest, AnEmptyProgramShowsSoAndIgnoresEnterAndDelete) {
    EXPECT_EQ(window->windowTitle(), "Music program titles");
    EXPECT_EQ(window->summaryLabel->text(), "Empty");
    EXPECT_EQ(window->SG1->model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "No titles in program");
    EXPECT_FALSE(window->clearButton->isEnabled());
    EXPECT_FALSE(window->shuffleButton->isEnabled());
    for (auto* button : {window->shuffleButton, window->clearButton, window->closeButton})
        EXPECT_FALSE(button->accessibleName().isEmpty());
    Key(Qt::Key_Return);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_TRUE(player.played.empty());
}

TEST_F(ProgramWindowTest, PlaysTheSelectedEntryAndDeletesOneRowOfATitleQueuedTwice) {
    program.SetSelection({"1", "2", "1", "3"}, SelectionSource::CategoryGrid);
    program.PlayBottom();
    EXPECT_EQ(window->summaryLabel->text(), "4 title(s)  ---  3:30");
    EXPECT_EQ(Cell(0, 0), "Playing");
    EXPECT_EQ(window->SG1->model()->headerData(3, Qt::Horizontal).toString(), "Duration");

    window->SG1->setCurrentIndex(window->SG1->model()->index(1, 0));
    Key(Qt::Key_Return);
    EXPECT_EQ(program.CurrentIndex(), 1);
    EXPECT_EQ(player.played.back(), "MThd tune 2");
    EXPECT_EQ(Cell(1, 0), "Playing");

    window->SG1->setCurrentIndex(window->SG1->model()->index(2, 0));
    Key(Qt::Key_Delete);
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(program.CurrentIndex(), 1);
    EXPECT_EQ(window->SG1->currentIndex().row(), 1);

    window->clearButton->click();
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_EQ(window->summaryLabel->text(), "Empty");
}

} // namespace
} // namespace tunquil::ui
