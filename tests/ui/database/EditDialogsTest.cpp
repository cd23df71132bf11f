// The rename dialog and the title-information window: what they return for what is typed or
// chosen, and what a refused edit leaves behind.

#include "app/TestTunes.h"
#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "ui/GuiTestApp.h"
#include "ui/ModalScript.h"
#include "ui/database/TRenamer.h"
#include "ui/database/TTuneAdder.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using test::ModalScript;

TEST(Renamer, ReturnsTheTrimmedNameRefusingAmpersandsAndBlankNames) {
    test::GuiTestApp();
    QWidget owner;
    owner.setGeometry(100, 100, 600, 400);
    owner.show();
    TRenamer renamer(&owner);
    QString refused, caption, hint;
    QPoint centre;
    ModalScript script({[&](QWidget*) {
        caption = renamer.windowTitle();
        hint = renamer.Edit()->toolTip();
        centre = renamer.frameGeometry().center();
        EXPECT_EQ(renamer.Edit()->text(), "Jazz");
        renamer.Edit()->setText("Rock & Roll");
        renamer.OkButton()->click();
        EXPECT_TRUE(renamer.isVisible()); // refused: the box stays
        refused = renamer.Edit()->text();
        renamer.Edit()->setText("   ");
        renamer.OkButton()->click();
        EXPECT_TRUE(renamer.isVisible()); // blank: stays too
        renamer.Edit()->setText("  Road Trip  ");
        QTest::keyClick(renamer.Edit(), Qt::Key_Return); // Enter acts as OK
    }});
    EXPECT_EQ(renamer.Execute("Enter new category name", "Jazz", "Type in new category name"),
              "Road Trip");
    EXPECT_EQ(script.Left(), 0);
    EXPECT_EQ(caption, "Enter new category name");
    EXPECT_EQ(hint, "Type in new category name");
    EXPECT_EQ(refused, "\"&\" not allowed!  Please retry...");
    EXPECT_LE((centre - owner.frameGeometry().center()).manhattanLength(), 2);

    int width = 0;
    ModalScript cancel({[&](QWidget*) {
        width = renamer.width();
        renamer.Edit()->setText("Something");
        renamer.CancelButton()->click();
    }});
    EXPECT_EQ(renamer.Execute("Enter new album name", "", "Type in new album name"), "");
    EXPECT_EQ(renamer.Result(), "");
    // Wide enough that a title bar shows its whole caption: the caption in bold, and its icon
    // and buttons beside it.
    QFont bold = renamer.font();
    bold.setBold(true);
    EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance("Enter new album name") + 100);
}

class TuneAdderTest : public ::testing::Test {
protected:
    test::TempDir home;
    ScriptedHost host;
    TCatList categories{home.path()};
    std::unique_ptr<TDMM2> data;
    int32_t jazz = 0, rock = 0, annLee = 0, bobDylan = 0;

    void SetUp() override {
        test::GuiTestApp();
        categories.Load();
        data = std::make_unique<TDMM2>(home.path(), host);
        data->OpenDatabase();
        categories.SetDatabase(&data->Database());
        data->SetCategoryList(&categories);
        jazz = categories.AddCategory("Jazz");
        rock = categories.AddCategory("Rock");
        annLee = data->Performers().FindOrAdd("Ann", "Lee");
        bobDylan = data->Performers().FindOrAdd("Bob", "Dylan");
    }
    void TearDown() override { data->Close(); }
};

TEST_F(TuneAdderTest, OneTitleTakesItsTextAndTheChosenOrTypedArtistAndCategory) {
    TTuneAdder adder(categories, data->Performers());
    bool titleFocusFirst = false;
    QString artistShown, categoryShown;
    ModalScript script({[&](QWidget*) {
        adder.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&adder));
        titleFocusFirst = adder.TitleEdit()->hasFocus();
        artistShown = adder.Artists()->currentText();
        categoryShown = adder.CategoriesBox()->currentText();
        adder.Artists()->lineEdit()->setText("Dylan, Bob");
        adder.CategoriesBox()->setCurrentIndex(adder.CategoriesBox()->findText("Rock"));
        // One Enter in the title field saves, as OK does.
        adder.TitleEdit()->setFocus();
        adder.TitleEdit()->setText("Blue Train");
        QTest::keyClick(adder.TitleEdit(), Qt::Key_Return);
        if (adder.isVisible()) // Enter did not save: the test goes on without hanging
            adder.CancelButton()->click();
    }});
    EXPECT_TRUE(adder.ShowForOne("Giant Steps", "Ann", "Jazz", "Lee"));
    EXPECT_TRUE(adder.OkButton()->isDefault());
    EXPECT_EQ(adder.windowTitle(), " MIDI Selection Information");
    EXPECT_EQ(adder.SelectionLabel()->text(), "Giant Steps");
    EXPECT_EQ(artistShown, "Lee, Ann");
    EXPECT_EQ(categoryShown, "Jazz");
    EXPECT_TRUE(titleFocusFirst);
    EXPECT_EQ(adder.Result().title, "Blue Train");
    EXPECT_EQ(adder.Result().pk, bobDylan); // typed, and found
    EXPECT_EQ(adder.Result().ck, rock);

    // A typed new artist and category are added; Enter in the artist's box saves too.
    ModalScript typed({[&](QWidget*) {
        adder.CategoriesBox()->lineEdit()->setText("Bebop");
        adder.Artists()->setFocus();
        adder.Artists()->lineEdit()->setText("Monk, Thelonious");
        QTest::keyClick(adder.Artists()->lineEdit(), Qt::Key_Return);
        if (adder.isVisible())
            adder.CancelButton()->click();
    }});
    EXPECT_TRUE(adder.ShowForOne("Giant Steps", "Ann", "Jazz", "Lee"));
    EXPECT_EQ(adder.Result().ck, categories.FindByName("Bebop"));
    EXPECT_EQ(adder.Result().pk, data->Performers().Find("Thelonious", "Monk"));
    EXPECT_NE(adder.Result().pk, 0);

    // Each field and button is named for a screen reader.
    for (QWidget* control :
         std::initializer_list<QWidget*>{adder.TitleEdit(), adder.Artists(), adder.CategoriesBox(),
                                         adder.OkButton(), adder.CancelButton()})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
}

TEST_F(TuneAdderTest, SeveralTitlesWithoutCommonNamesKeepTheirOwnUnlessChosen) {
    TTuneAdder adder(categories, data->Performers());
    QString artistShown, categoryShown;
    bool titleEnabled = true;
    ModalScript script({[&](QWidget*) {
        artistShown = adder.Artists()->currentText();
        categoryShown = adder.CategoriesBox()->currentText();
        titleEnabled = adder.TitleEdit()->isEnabled();
        adder.OkButton()->click();
    }});
    EXPECT_TRUE(adder.ShowForMany(3, "", "", ""));
    EXPECT_EQ(adder.SelectionLabel()->text(), "3 titles to be assigned an artist and a category");
    EXPECT_EQ(adder.TitleEdit()->text(), "Not applicable");
    EXPECT_FALSE(titleEnabled);
    EXPECT_EQ(artistShown, TTuneAdder::kNoCommonArtists);
    EXPECT_EQ(categoryShown, TTuneAdder::kNoCommonCategories);
    EXPECT_EQ(adder.Result().pk, kKeepOwnKey);
    EXPECT_EQ(adder.Result().ck, kKeepOwnKey);

    // A common artist shown is kept; the category chosen from the list is taken.
    ModalScript chosen({[&](QWidget*) {
        artistShown = adder.Artists()->currentText();
        adder.CategoriesBox()->setCurrentIndex(adder.CategoriesBox()->findText("Jazz"));
        adder.OkButton()->click();
    }});
    EXPECT_TRUE(adder.ShowForMany(2, "Bob", "", "Dylan"));
    EXPECT_EQ(artistShown, "Dylan, Bob");
    EXPECT_EQ(adder.Result().pk, bobDylan);
    EXPECT_EQ(adder.Result().ck, jazz);
}

TEST_F(TuneAdderTest, RefusedOrCancelledEditLeavesNoNewCategoryBehind) {
    TTuneAdder adder(categories, data->Performers());
    const int before = categories.Count();
    ModalScript blankArtist({[&](QWidget*) {
        adder.Artists()->lineEdit()->setText("   ");
        adder.CategoriesBox()->lineEdit()->setText("Brand New");
        adder.OkButton()->click();
    }});
    EXPECT_FALSE(adder.ShowForOne("Giant Steps", "Ann", "Jazz", "Lee"));
    EXPECT_FALSE(adder.Accepted());
    EXPECT_EQ(categories.FindByName("Brand New"), 0);
    EXPECT_EQ(categories.Count(), before);

    ModalScript cancelled({[&](QWidget*) {
        adder.CategoriesBox()->lineEdit()->setText("Also New");
        adder.CancelButton()->click();
    }});
    EXPECT_FALSE(adder.ShowForOne("Giant Steps", "Ann", "Jazz", "Lee"));
    EXPECT_EQ(categories.FindByName("Also New"), 0);
}

} // namespace
} // namespace tunquil::ui
