// The editing commands of the category and album areas: their questions and notices as the
// user sees them, and what each changes in the lists, the database and the play program.

#include "app/LibraryEditor.h"

#include "PlayFakes.h"
#include "base/ScriptedHost.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::TempDir;
using R = TModalResult;

class LibraryEditorTest : public ::testing::Test {
protected:
    LibraryEditorTest() {
        library.Open();
        rock = library.Categories().AddCategory("Rock");
        jazz = library.Categories().AddCategory("Jazz");
        lee = library.Data().Performers().FindOrAdd("Ann", "Lee");
        cole = library.Data().Performers().FindOrAdd("Nat", "Cole");
        host.messages.clear();
    }
    int32_t Add(const std::string& title, int32_t ck, int32_t pk = 0) {
        dir.Write("in.zip", "zip");
        return library.Data().AddTitle(dir / "in.zip", title, false, 45000, 60, pk ? pk : lee, ck,
                                       "/o/" + title);
    }
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const auto& m : host.messages)
            out.push_back(m.text);
        return out;
    }
    std::string Keys(int32_t album) {
        std::string out;
        for (const auto& e : library.Albums().AlbumOf(album)->entries)
            out += e.title;
        return out;
    }
    bool Live(int32_t key) { return library.Database().FindSlot(key) != 0; }

    TempDir dir;
    ScriptedHost host;
    TMusicLibrary library{dir.path(), host};
    test::FakePlaySetup play{0};
    LibraryEditor editor{library, host, &play.program};
    int32_t rock = 0, jazz = 0, lee = 0, cole = 0;
};

TEST_F(LibraryEditorTest, CategoriesAreCreatedWithANoticeAndDeletedOnlyAfterBothQuestions) {
    int32_t blues = editor.CreateCategory("  Blues ");
    EXPECT_EQ(library.Categories().NameOf(blues), "Blues");
    EXPECT_EQ(editor.CreateCategory("Blues"), blues);
    EXPECT_EQ(editor.CreateCategory("   "), 0);
    EXPECT_EQ(host.LastMessage(), "Please note this category will be purged after this session\r\n"
                                  "            unless you add titles to it!");

    int32_t world = library.Categories().AddCategory("Musique d\xC3\xA9t\xC3\xA9");
    int32_t a = Add("a", world), b = Add("b", world), other = Add("other", rock);
    int32_t mix = library.Albums().AddAlbum("Mix");
    library.Albums().AppendTitles(mix, {a, other, b});
    play.program.AddAtBottom({std::to_string(a), std::to_string(other), std::to_string(b)});
    host.messages.clear();

    // Cancel at either question changes nothing; the second comes only after a beep.
    host.answers = {R::mrCancel, R::mrOk, R::mrCancel};
    EXPECT_FALSE(editor.DeleteCategory(world));
    EXPECT_EQ(host.beeps, 0);
    EXPECT_FALSE(editor.DeleteCategory(world));
    EXPECT_EQ(host.beeps, 1);
    EXPECT_TRUE(Live(a));
    // Capitals for a-z only: the accented letters keep their bytes.
    const std::string m1 = "Permanently delete all \"Musique d\xC3\xA9t\xC3\xA9\" titles from the "
                           "database?";
    const std::string m2 = "All \"MUSIQUE D\xC3\xA9T\xC3\xA9\" titles will be deleted!";
    EXPECT_EQ(Shown(), (std::vector<std::string>{m1, m1, m2}));
    EXPECT_EQ(host.messages[2].type, TMsgDlgType::mtWarning);

    host.answers = {R::mrOk, R::mrOk};
    EXPECT_TRUE(editor.DeleteCategory(world));
    EXPECT_EQ(library.Categories().IndexOf(world), -1);
    EXPECT_FALSE(Live(a));
    EXPECT_FALSE(Live(b));
    EXPECT_EQ(Keys(mix), "other");
    EXPECT_EQ(play.program.Entries(), (std::vector<std::string>{std::to_string(other)}));
    EXPECT_FALSE(editor.DeleteCategory(world));

    // A title that cannot be deleted keeps the category; the others still go everywhere.
    int32_t soul = library.Categories().AddCategory("Soul");
    int32_t s1 = Add("s1", soul), s2 = Add("s2", soul); // slots 4 and 5
    library.Albums().AppendTitles(mix, {s1, s2});
    play.program.AddAtBottom({std::to_string(s1), std::to_string(s2)});
    host.messages.clear();
    host.answers = {R::mrOk, R::mrOk};
    {
        test::FileSizeLimit fourRecords(4 * kTitleRecordSize, true);
        EXPECT_FALSE(editor.DeleteCategory(soul));
    }
    EXPECT_FALSE(Live(s1));
    EXPECT_TRUE(Live(s2));
    EXPECT_EQ(Keys(mix), "others2");
    EXPECT_EQ(play.program.Entries(),
              (std::vector<std::string>{std::to_string(other), std::to_string(s2)}));
    EXPECT_EQ(library.Categories().NameOf(soul), "Soul");
    EXPECT_EQ(host.LastMessage().rfind(
                  "These titles could not be deleted:\\n" + std::to_string(s2) + " (s2): ", 0),
              0u)
        << host.LastMessage();

    // A rename to another category's name merges into it.
    EXPECT_TRUE(editor.RenameCategory(rock, "Jazz"));
    EXPECT_EQ(library.Categories().IndexOf(rock), -1);
    EXPECT_EQ(library.Albums().AlbumOf(mix)->entries[0].categoryName, "Jazz");
    EXPECT_FALSE(editor.RenameCategory(jazz, "  "));
}

TEST_F(LibraryEditorTest, AlbumsAreDeletedAfterTheirQuestionsWithNamesCutAtWholeCharacters) {
    // 24 ASCII bytes and a two-byte character: cut to 25 bytes, the character goes whole.
    std::string longName = std::string(24, 'x') + "\xC3\xA9t\xC3\xA9";
    int32_t first = editor.CreateAlbum(longName);
    EXPECT_EQ(editor.CreateAlbum(" " + longName), first);
    EXPECT_EQ(editor.CreateAlbum(""), 0);
    host.answers = {R::mrCancel};
    EXPECT_FALSE(editor.DeleteAlbum(first));
    EXPECT_EQ(host.LastMessage(), "Permanently delete album \"" + std::string(24, 'x') + "\" ?");
    host.answers = {R::mrOk};
    EXPECT_TRUE(editor.DeleteAlbum(first));
    EXPECT_EQ(library.Albums().Count(), 0);

    int32_t one = editor.CreateAlbum("One"), two = editor.CreateAlbum("Two");
    EXPECT_TRUE(editor.RenameAlbum(two, "one")); // merged
    EXPECT_EQ(library.Albums().Count(), 1);
    editor.CreateAlbum("Three");
    host.messages.clear();
    host.answers = {R::mrYes, R::mrAbort};
    EXPECT_FALSE(editor.DeleteAllAlbums());
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Are you sure you want to delete all 2 albums?",
                                                 "Deletion of all 2 albums will proceed!"}));
    host.answers = {R::mrYes, R::mrOk};
    EXPECT_TRUE(editor.DeleteAllAlbums());
    EXPECT_EQ(library.Albums().Count(), 0);
    EXPECT_EQ(library.Albums().IndexOf(one), -1);
    host.messages.clear();
    EXPECT_FALSE(editor.DeleteAllAlbums()); // none left: not even asked
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(LibraryEditorTest, TitlesLeaveTheDatabaseAlbumsAndProgramAndOneFailureStopsNoOther) {
    int32_t a = Add("Alpha", rock), b = Add("b", rock), c = Add("c", rock);
    int32_t mix = library.Albums().AddAlbum("Mix");
    library.Albums().AppendTitles(mix, {a, b});
    play.program.AddAtBottom({std::to_string(a), std::to_string(b)});

    host.answers = {R::mrCancel};
    EXPECT_EQ(editor.DeleteTitlesFromDatabase({a}), 0);
    EXPECT_EQ(host.LastMessage(), "Permanently delete \"Alpha\" from the database and all albums?");
    host.answers = {R::mrOk};
    EXPECT_EQ(editor.DeleteTitlesFromDatabase({a}), 1);
    EXPECT_EQ(Keys(mix), "b");
    EXPECT_EQ(play.program.Entries(), (std::vector<std::string>{std::to_string(b)}));

    host.answers = {R::mrAbort};
    EXPECT_EQ(editor.DeleteSelectedTitles({b, c}), 0);
    EXPECT_EQ(host.LastMessage(),
              "Permanently delete these 2 titles fom the database and all albums?");
    EXPECT_EQ(host.messages.back().buttons, mbOK | mbAbort);
    EXPECT_TRUE(Live(b));

    // Title c stands in slot 3: with writes past two records refused, only its delete fails.
    int32_t d = Add("d", rock);
    host.messages.clear();
    host.answers = {R::mrOk};
    {
        test::FileSizeLimit twoRecords(2 * kTitleRecordSize, true);
        EXPECT_EQ(editor.DeleteTitlesFromDatabase({c, b}), 1);
    }
    EXPECT_TRUE(Live(c));
    EXPECT_FALSE(Live(b));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "Permanently delete these 2 titles fom the database and all albums?");
    EXPECT_EQ(host.messages[1].type, TMsgDlgType::mtError);
    EXPECT_EQ(host.messages[1].text.rfind(
                  "These titles could not be deleted:\\n" + std::to_string(c) + " (c): ", 0),
              0u)
        << host.messages[1].text;
    EXPECT_TRUE(play.program.Entries().empty());
    EXPECT_TRUE(Live(d));
}

TEST_F(LibraryEditorTest, AlbumRowsAreRemovedByPositionAfterTheirQuestion) {
    int32_t a = Add("a", rock), b = Add("b", rock);
    int32_t mix = editor.CreateAlbum("Mix");
    library.Albums().AppendTitles(mix, {a, b, a});
    host.answers = {R::mrCancel};
    EXPECT_FALSE(editor.DeleteTitlesFromAlbum(mix, {2}));
    EXPECT_EQ(host.LastMessage(), "Delete this title from album \"Mix\" ?");
    EXPECT_EQ(host.messages.back().type, TMsgDlgType::mtInformation);
    host.answers = {R::mrOk, R::mrOk};
    EXPECT_TRUE(editor.DeleteTitlesFromAlbum(mix, {2}));
    EXPECT_EQ(Keys(mix), "ab"); // the first row of the title stays
    EXPECT_TRUE(editor.DeleteTitlesFromAlbum(mix, {1, 0, 1, 9}));
    EXPECT_EQ(host.LastMessage(), "Delete these 2 titles from album \"Mix\" ?");
    EXPECT_EQ(Keys(mix), "");
    EXPECT_TRUE(Live(a)); // still in the database
    EXPECT_FALSE(editor.DeleteTitlesFromAlbum(mix, {0}));
}

// Two Bachs with other first names used to prefill "Bach" and get a new performer "Bach" on
// OK; an emptied title field used to blank the title.
TEST_F(LibraryEditorTest, ArtistsAreSharedOnlyWholeAndAnEmptiedTitleKeepsTheTitle) {
    int32_t js = library.Data().Performers().FindOrAdd("Johann Sebastian", "Bach");
    int32_t cpe = library.Data().Performers().FindOrAdd("Carl Philipp Emanuel", "Bach");
    int32_t a = Add("Fugue", rock, js), b = Add("Sonata", rock, cpe);
    TitleEditPrefill both = editor.PrefillFor({a, b});
    EXPECT_EQ(both.lastName + "|" + both.firstName + "|" + both.categoryName, "||Rock");

    EXPECT_EQ(editor.ApplyTitleEdit({a}, {kKeepOwnKey, kKeepOwnKey, "  "}), 1);
    TitleRecord r;
    library.Database().ReadRecordByKey(a, r);
    EXPECT_EQ(r.title, "Fugue");
    EXPECT_EQ(r.pk, js);
}

TEST_F(LibraryEditorTest, ATypedTitleLosesItsControlCharacters) {
    int32_t a = Add("a", rock, lee);
    EXPECT_EQ(editor.ApplyTitleEdit({a}, {kKeepOwnKey, kKeepOwnKey, "Line\r\n.\r\nTwo\t\x1b"}), 1);
    TitleRecord r;
    library.Database().ReadRecordByKey(a, r);
    EXPECT_EQ(r.title, "Line.Two");
}

TEST_F(LibraryEditorTest, TitleEditsChangeOneTitleWholeAndSeveralKeepingTheirOwn) {
    int32_t a = Add("a", rock, lee), b = Add("b", jazz, lee);
    int32_t mix = editor.CreateAlbum("Mix");
    library.Albums().AppendTitles(mix, {a});

    TitleEditPrefill one = editor.PrefillFor({a});
    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(one.title + "|" + one.lastName + "|" + one.firstName + "|" + one.categoryName,
              "a|Lee|Ann|Rock");
    TitleEditPrefill both = editor.PrefillFor({a, b});
    EXPECT_EQ(both.count, 2);
    EXPECT_EQ(both.title + "|" + both.lastName + "|" + both.categoryName, "|Lee|");

    EXPECT_EQ(editor.ApplyTitleEdit({a}, {jazz, cole, "new a"}), 1);
    TitleRecord r;
    library.Database().ReadRecordByKey(a, r);
    EXPECT_EQ(r.title + "|" + r.lastName + "|" + r.categoryName, "new a|Cole|Jazz");
    EXPECT_EQ(Keys(mix), "new a");

    // Several: the keep-own marker keeps each title's category; titles keep their own text.
    EXPECT_EQ(editor.ApplyTitleEdit({a, b, 4242}, {kKeepOwnKey, lee, "ignored"}), 2);
    library.Database().ReadRecordByKey(a, r);
    EXPECT_EQ(r.title + "|" + r.lastName + "|" + r.categoryName, "new a|Lee|Jazz");
    EXPECT_EQ(r.ck, jazz);
    library.Database().ReadRecordByKey(b, r);
    EXPECT_EQ(r.title + "|" + r.lastName + "|" + r.categoryName, "b|Lee|Jazz");
    EXPECT_EQ(editor.ApplyTitleEdit({b}, {rock, kKeepOwnKey, "b2"}), 1);
    library.Database().ReadRecordByKey(b, r);
    EXPECT_EQ(r.pk, lee);
    EXPECT_EQ(r.ck, rock);

    // A title that cannot be written keeps the others from nothing (b stands in slot 2).
    host.messages.clear();
    {
        test::FileSizeLimit oneRecord(kTitleRecordSize, true);
        EXPECT_EQ(editor.ApplyTitleEdit({b, a}, {kKeepOwnKey, cole, ""}), 1);
    }
    library.Database().ReadRecordByKey(a, r);
    EXPECT_EQ(r.pk, cole);
    library.Database().ReadRecordByKey(b, r);
    EXPECT_EQ(r.pk, lee);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind(
                  "These titles could not be changed:\\n" + std::to_string(b) + " (b2): ", 0),
              0u)
        << host.messages[0].text;
}

} // namespace
} // namespace tunquil
