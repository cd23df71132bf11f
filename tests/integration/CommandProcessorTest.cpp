// The command verbs over a real database and import, with the play program driving a
// scripted player: what each verb adds, plays or mails.

#include "integration/CommandProcessor.h"

#include "app/DatabaseTitleStore.h"
#include "app/PlayFakes.h"
#include "app/PlayProgram.h"
#include "integration/CoreCommandTarget.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

namespace fs = std::filesystem;

class Commands : public ::testing::Test {
protected:
    Commands() {
        PlayTiming quick;
        quick.afterStep = quick.afterStop = quick.waitPoll = std::chrono::milliseconds(0);
        quick.waitLimit = std::chrono::milliseconds(200);
        program.SetTiming(quick);
        target.onRefreshViews = [this] { ++refreshes; };
        target.onShowMail = [this](const std::vector<int>& keys) { mailed = keys; };
        target.onPluginBadFile = [this] { ++badFiles; };
        target.activeCategoryCaption = [this] { return activeTab; };
    }

    TitleRecord Title(int32_t key) {
        for (const TitleRecord& r : p.db().LiveTitles())
            if (r.masterKey == key)
                return r;
        ADD_FAILURE() << "no title " << key;
        return {};
    }
    std::size_t Count() { return p.db().LiveTitles().size(); }

    test::TestProgram p;
    test::FakePlayer player;
    DatabaseTitleStore store{p.data};
    PlayProgram program{p.host, player, store, RealPlayTools(p.host), p.dir.path()};
    CoreCommandTarget target{p.db(), p.importer, program, nullptr};
    CommandProcessor commands{p.host, target};
    int refreshes = 0, badFiles = 0;
    std::vector<int> mailed;
    std::string activeTab;
};

TEST_F(Commands, PlayVerbsAddATitleOnceAndPlayItFirst) {
    std::string midi = test::SmallMidiFile(2);
    fs::path song = p.dir.Write("in/first song.mid", midi);
    program.AddAtTop({"999"});

    commands.ProcessCommand("P" + song.string());
    EXPECT_TRUE(commands.CommandProcessed());
    ASSERT_EQ(Count(), 1u);
    int32_t key = p.db().HighestMasterKey();
    EXPECT_EQ(Title(key).categoryName, "Windows default");
    EXPECT_EQ(Title(key).origin, song.string());
    EXPECT_EQ(Title(key).title, "first song");
    ASSERT_FALSE(player.played.empty());
    EXPECT_EQ(player.played.back(), midi);
    EXPECT_EQ(program.Entries().front(), std::to_string(key));
    EXPECT_EQ(program.Entries().size(), 2u); // the program is kept

    // The same file again, by the synonym and as a bare path: found by its origin, not added.
    commands.ProcessCommand("O" + song.string());
    commands.ProcessCommand(song.string());
    EXPECT_EQ(Count(), 1u);
    EXPECT_EQ(player.played.size(), 3u);
    EXPECT_EQ(program.Entries().size(), 4u);
    EXPECT_GE(refreshes, 3);
}

TEST_F(Commands, OtherVerbsAddWithoutPlaying) {
    fs::path zipped = p.dir.Write("in/z.mid", test::SmallMidiFile(1, "z"));
    fs::path mail = p.dir.Write("in/m.mid", test::SmallMidiFile(1, "m"));
    fs::path other = p.dir.Write("in/x.mid", test::SmallMidiFile(1, "x"));

    commands.ProcessCommand("Z" + zipped.string());
    EXPECT_EQ(Title(p.db().HighestMasterKey()).categoryName, "Windows default");
    EXPECT_EQ(refreshes, 1);

    commands.ProcessCommand("M" + mail.string());
    int32_t mailKey = p.db().HighestMasterKey();
    EXPECT_EQ(Title(mailKey).categoryName, "Email default");
    EXPECT_EQ(mailed, std::vector<int>{mailKey});

    // An unknown verb adds the file with no category, not the one the last import used.
    commands.ProcessCommand("Q" + other.string());
    EXPECT_EQ(Count(), 3u);
    EXPECT_EQ(Title(p.db().HighestMasterKey()).categoryName, "");
    EXPECT_TRUE(player.played.empty());

    // A missing file: nothing is added, but Z still brings the lists up to date.
    commands.ProcessCommand("Z" + (p.dir / "in/gone.mid").string());
    commands.ProcessCommand("P" + (p.dir / "in/gone.mid").string());
    EXPECT_EQ(Count(), 3u);
    EXPECT_EQ(refreshes, 2);
}

// tunquilctl add beside the window: each file is added as that command adds it, without a
// question, and only into the library the command was run for.
TEST_F(Commands, AddVerbAddsAsTunquilctlAddWouldIntoItsOwnLibraryOnly) {
    fs::path song = p.dir.Write("in/new_song.mid", test::SmallMidiFile(2, "a"));
    AddRequest request{song.string(), "Rock", "Lee, Ann", false, p.dir.path().string()};
    std::string command = CommandProcessor::AddCommand(request);
    AddRequest parsed;
    ASSERT_TRUE(CommandProcessor::ParseAddCommand(command, parsed));
    EXPECT_EQ(parsed.path, request.path);
    EXPECT_EQ(parsed.library, request.library);
    // A file a start names by a name beginning with A is no add command.
    EXPECT_FALSE(CommandProcessor::ParseAddCommand("A" + song.string(), parsed));
    EXPECT_FALSE(CommandProcessor::ParseAddCommand("Arel.mid\x1fR\x1f\x1f\x1f/h", parsed));
    request.category = "R\x1fock";
    EXPECT_EQ(CommandProcessor::AddCommand(request), "");
    request.category = "Rock";

    commands.ProcessCommand(command);
    ASSERT_EQ(Count(), 1u);
    TitleRecord added = Title(1);
    EXPECT_EQ(added.title, "new song");
    EXPECT_EQ(added.categoryName, "Rock");
    EXPECT_EQ(added.artist, "Ann Lee");
    EXPECT_EQ(added.origin, song.string());
    EXPECT_TRUE(player.played.empty());
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(p.host.statuses.back(), "Added new_song.mid");

    // The same tune again is a duplicate, told in the status line, not asked about.
    fs::path copy = p.dir.Write("in/copy.mid", test::SmallMidiFile(2, "a"));
    commands.ProcessCommand(CommandProcessor::AddCommand(
        {copy.string(), "Rock", "Lee, Ann", false, p.dir.path().string()}));
    EXPECT_EQ(Count(), 1u);
    EXPECT_TRUE(p.host.messages.empty());
    EXPECT_NE(p.host.statuses.back().find("copy.mid: "), std::string::npos);
    commands.ProcessCommand(CommandProcessor::AddCommand(
        {copy.string(), "Rock", "Lee, Ann", true, p.dir.path().string()}));
    EXPECT_EQ(Count(), 2u);

    // Meant for the library of another --home: not added here.
    fs::path other = p.dir.Write("in/other.mid", test::SmallMidiFile(3, "o"));
    commands.ProcessCommand(
        CommandProcessor::AddCommand({other.string(), "Rock", "", false, (p.dir / "in").string()}));
    EXPECT_EQ(Count(), 2u);
    EXPECT_NE(p.host.statuses.back().find("Not added"), std::string::npos);
}

TEST_F(Commands, PluginRequestPlaysAloneWithLoopingUnderATitleFromTheUrl) {
    std::string midi = test::SmallMidiFile(2);
    fs::path local = p.dir.Write("cache/blue.mid", midi);
    program.AddAtTop({"999"});
    program.SetAutoLooping(false);

    commands.ProcessCommand("NV" + local.string() +
                            "[ http://example.org/tunes/Blue%20Moon.mid?x=1 ");
    ASSERT_EQ(Count(), 1u);
    TitleRecord r = Title(p.db().HighestMasterKey());
    EXPECT_EQ(r.title, "Blue Moon");
    EXPECT_EQ(r.origin, "http://example.org/tunes/Blue%20Moon.mid?x=1");
    EXPECT_EQ(r.categoryName, "Netscape default");
    EXPECT_TRUE(program.AutoLooping());
    EXPECT_EQ(program.Entries(), std::vector<std::string>{std::to_string(r.masterKey)});
    EXPECT_EQ(player.played.back(), midi);

    // Not a tune: the plug-in hears of it. Without "[" there is nothing to import.
    fs::path junk = p.dir.Write("cache/junk.mid", std::string(200, 'j'));
    commands.ProcessCommand("NV" + junk.string() + "[http://example.org/junk.mid");
    EXPECT_EQ(badFiles, 1);
    commands.ProcessCommand("NV" + local.string());
    EXPECT_EQ(Count(), 1u);
}

TEST(PluginTitles, ComeFromTheUrlsLastSegmentMadeSafe) {
    auto title = [](const std::string& url) {
        return CommandProcessor::TitleFromUrl(url, "/cache/NV0001.tmp");
    };
    EXPECT_EQ(title("http://h/a/My%20Song.mid"), "My Song.mid");
    EXPECT_EQ(title("http://h/a/..%2F..%2Fetc%2Fpasswd"), "....etcpasswd");
    EXPECT_EQ(title("http://h/a/bad%0Aline%00.mid#top"), "badline.mid");
    EXPECT_EQ(title("http://h/play?song=1"), "play");
    EXPECT_EQ(title("http://h/?song=1"), "NV0001.tmp");
    EXPECT_EQ(title("http://h/tunes/"), "NV0001.tmp");
    EXPECT_EQ(title("http://h/%2"), "%2");
}

TEST_F(Commands, DroppedFilesGoToTheActiveCategoryTitledByTheirNameWithoutExtension) {
    fs::path a = p.dir.Write("in/Mr. Blue Sky.mid", test::SmallMidiFile(1, "a"));
    fs::path b = p.dir.Write("in/b.mid", test::SmallMidiFile(1, "b"));
    fs::path c = p.dir.Write("in/Take Five.MID", test::SmallMidiFile(1, "c"));
    activeTab = "  Jazz ";
    commands.ImportDroppedFile(a);
    TitleRecord r = Title(p.db().HighestMasterKey());
    EXPECT_EQ(r.title, "Mr. Blue Sky");
    EXPECT_EQ(r.categoryName, "Jazz");
    activeTab = "";
    commands.ImportDroppedFile(b);
    r = Title(p.db().HighestMasterKey());
    EXPECT_EQ(r.title, "b");
    EXPECT_EQ(r.categoryName, "Windows default");
    commands.ImportDroppedFile(c);
    EXPECT_EQ(Title(p.db().HighestMasterKey()).title, "Take Five");
    commands.ImportDroppedFile(p.dir / "in/none.mid");
    EXPECT_EQ(Count(), 3u);
    EXPECT_TRUE(player.played.empty());
}

TEST(CommandArguments, JoinTheDesktopsVerbAndFileIntoOneCommand) {
    using V = std::vector<std::string>;
    EXPECT_EQ(CommandProcessor::CommandsFromArguments({"--verb", "P", "/a b/c.mid"}),
              V{"P/a b/c.mid"});
    EXPECT_EQ(CommandProcessor::CommandsFromArguments({"NV/t.tmp[http://h/x.mid", "/s.mid"}),
              (V{"NV/t.tmp[http://h/x.mid", "/s.mid"}));
    EXPECT_EQ(CommandProcessor::CommandsFromArguments({"--plugin", "/t [1].tmp", "http://h/"}),
              V{std::string("NV/t [1].tmp\0http://h/", 22)});
    // A verb without a file (the desktop menu's start) used to become two commands.
    EXPECT_EQ(CommandProcessor::CommandsFromArguments({"--verb", "P"}), V{});
    EXPECT_EQ(CommandProcessor::CommandsFromArguments({"--verb"}), V{});
}

} // namespace
} // namespace tunquil
