#include "export/TitleSaver.h"

#include "base/Files.h"
#include "export/archive/TAbUnZipper.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <deque>
#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::SmallMidiFile;
using test::TestProgram;

// Answers each dialog from a script (an empty path cancels) and records what it was shown.
struct ScriptedSaveDialog : ISaveTitleDialog {
    struct Shown {
        std::string caption, fileName;
        fs::path directory;
    };
    std::deque<Choice> answers;
    std::vector<Shown> shown;

    std::optional<Choice> Ask(const std::string& caption, const std::string& fileName,
                              const fs::path& directory, SaveFormat) override {
        shown.push_back({caption, fileName, directory});
        if (answers.empty())
            return std::nullopt;
        Choice c = answers.front();
        answers.pop_front();
        if (c.path.empty())
            return std::nullopt;
        return c;
    }
    void Cancel(int n) {
        for (int i = 0; i < n; ++i)
            answers.push_back({});
    }
};

class SaveTitlesTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(p.dir / "out"); }
    std::vector<int32_t> AddTitles(int n) {
        std::vector<int32_t> keys;
        for (int i = 0; i < n; ++i)
            keys.push_back(p.AddTitle("Song " + std::to_string(i), SmallMidiFile(2, "s")));
        return keys;
    }
    std::vector<std::string> Questions() const {
        std::vector<std::string> texts;
        for (const auto& m : p.host.messages)
            texts.push_back(m.text);
        return texts;
    }
    static std::string Warning(int n) {
        return "You have not saved the last " + std::to_string(n) +
               " MIDI files.\\n        Do you wish to continue?";
    }

    TestProgram p;
    ScriptedSaveDialog dialog;
    TitleSaver saver{p.db(), p.host, p.dir.path(), dialog, p.dir.path()};
};

TEST_F(SaveTitlesTest, WritesTheChosenNameAddingMidOnlyWhenMissing) {
    std::string midi = SmallMidiFile(2, "m");
    int32_t a = p.AddTitle("First", midi), b = p.AddTitle("Second", midi);
    dialog.answers = {{p.dir / "out/one", SaveFormat::Midi},
                      {p.dir / "out/two.MID", SaveFormat::Midi}};
    EXPECT_EQ(saver.SaveTitles({a, b}), 2);
    EXPECT_EQ(ReadWholeFile(p.dir / "out/one.mid"), midi);
    EXPECT_EQ(ReadWholeFile(p.dir / "out/two.MID"), midi);
    EXPECT_FALSE(fs::exists(p.dir / "out/one"));
    EXPECT_FALSE(fs::exists(p.dir / "out/two.MID.mid"));
    EXPECT_TRUE(p.host.messages.empty());
    // The second dialog opens where the first file went.
    ASSERT_EQ(dialog.shown.size(), 2u);
    EXPECT_EQ(dialog.shown[0].caption, "Save First to...");
    EXPECT_EQ(dialog.shown[1].directory, p.dir / "out");
    EXPECT_EQ(p.host.busyDepth, 0);
}

TEST_F(SaveTitlesTest, CompressedLeavesMidAndZipWithoutDoublingAnExtension) {
    int32_t key = p.AddTitle("Packed", SmallMidiFile(2, "z"));
    dialog.answers = {{p.dir / "out/packed.zip", SaveFormat::Compressed}};
    EXPECT_EQ(saver.SaveTitles({key}), 1);
    EXPECT_TRUE(fs::exists(p.dir / "out/packed.mid"));
    TAbUnZipper unzipper;
    unzipper.Open(p.dir / "out/packed.zip");
    EXPECT_EQ(unzipper.FileNames(), (std::vector<std::string>{"packed.mid"}));
    EXPECT_FALSE(fs::exists(p.dir / "out/packed.zip.zip"));
    EXPECT_EQ(saver.format(), SaveFormat::Compressed);
}

TEST_F(SaveTitlesTest, AnExistingFileIsReplacedOnlyWhenTheUserAgrees) {
    std::string midi = SmallMidiFile(2, "r");
    int32_t key = p.AddTitle("Tune", midi);
    p.dir.Write("out/tune.mid", "the user's own file");
    // No: the dialog comes back for the same title, and cancelling it keeps the file.
    p.host.answers = {TModalResult::mrNo};
    dialog.answers = {{p.dir / "out/tune", SaveFormat::Midi}};
    EXPECT_EQ(saver.SaveTitles({key}), 0);
    EXPECT_EQ(dialog.shown.size(), 2u);
    EXPECT_EQ(ReadWholeFile(p.dir / "out/tune.mid"), "the user's own file");
    ASSERT_EQ(p.host.messages.size(), 1u);
    EXPECT_EQ(p.host.messages[0].text,
              (p.dir / "out/tune.mid").string() + " already exists.\\nDo you want to replace it?");

    p.host.answers = {TModalResult::mrYes};
    dialog.answers = {{p.dir / "out/tune", SaveFormat::Midi}};
    EXPECT_EQ(saver.SaveTitles({key}), 1);
    EXPECT_EQ(ReadWholeFile(p.dir / "out/tune.mid"), midi);
}

TEST_F(SaveTitlesTest, AFailureShowsItsReasonAndTheNextTitleFollows) {
    auto keys = AddTitles(2);
    dialog.answers = {{p.dir / "missing/folder/a", SaveFormat::Midi},
                      {p.dir / "out/b", SaveFormat::Midi}};
    EXPECT_EQ(saver.SaveTitles(keys), 1);
    ASSERT_EQ(p.host.messages.size(), 1u);
    EXPECT_EQ(p.host.messages[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(p.host.messages[0].text.rfind("Cannot save Song 0: Cannot write", 0), 0u)
        << p.host.messages[0].text;
    EXPECT_TRUE(fs::exists(p.dir / "out/b.mid"));
}

TEST_F(SaveTitlesTest, ATitleWithASlashNeverNamesAFolder) {
    int32_t key = p.AddTitle("AC/DC", SmallMidiFile(2, "d"));
    saver.SaveTitles({key});
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0].fileName, "AC_DC");
}

TEST_F(SaveTitlesTest, ARunOfCancelsAsksWhetherToGoOn) {
    auto keys = AddTitles(10);
    // Three cancels ask once; the last title of the list never asks.
    p.host.answers = {TModalResult::mrYes};
    dialog.Cancel(10);
    EXPECT_EQ(saver.SaveTitles(std::vector<int32_t>(keys.begin(), keys.begin() + 3)), 0);
    EXPECT_TRUE(p.host.messages.empty());
    EXPECT_EQ(saver.SaveTitles(std::vector<int32_t>(keys.begin(), keys.begin() + 4)), 0);
    EXPECT_EQ(Questions(), std::vector<std::string>{Warning(3)});

    // After Yes the next question waits for five; a save starts the count of three afresh.
    p.host.messages.clear();
    p.host.answers = {TModalResult::mrYes, TModalResult::mrYes};
    dialog.answers.clear();
    dialog.Cancel(3 + 5);
    dialog.answers.push_back({p.dir / "out/saved", SaveFormat::Midi});
    dialog.Cancel(3);
    EXPECT_EQ(saver.SaveTitles(AddTitles(15)), 1);
    EXPECT_EQ(Questions(), (std::vector<std::string>{Warning(3), Warning(5), Warning(3)}));

    // No ends the command at once; what was saved before stays.
    p.host.messages.clear();
    p.host.answers = {TModalResult::mrNo};
    dialog.answers = {{p.dir / "out/first", SaveFormat::Midi}};
    dialog.Cancel(10);
    EXPECT_EQ(saver.SaveTitles(keys), 1);
    EXPECT_EQ(dialog.shown.size(), 3u + 4u + 12u + 4u);
    EXPECT_TRUE(fs::exists(p.dir / "out/first.mid"));
}

TEST_F(SaveTitlesTest, KeysNoLongerInTheDatabaseArePassedOver) {
    auto keys = AddTitles(1);
    dialog.answers = {{p.dir / "out/only", SaveFormat::Midi}};
    EXPECT_EQ(saver.SaveTitles({999999, keys[0], 999998}), 1);
    EXPECT_EQ(dialog.shown.size(), 1u);
}

} // namespace
} // namespace tunquil
