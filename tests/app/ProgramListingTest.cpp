#include "app/ProgramListing.h"

#include "app/PlayServices.h"

#include <gtest/gtest.h>
#include <map>

namespace tunquil {
namespace {

TEST(ProgramListing, ListsEntriesWithTheirStateAndTotal) {
    std::map<int, TitleRecord> titles;
    for (auto [key, seconds] : {std::pair{1, 60}, {2, 90}, {3, 0}}) {
        TitleRecord r;
        r.masterKey = key;
        r.title = "Title " + std::to_string(key) + "  ";
        r.firstName = "Ann";
        r.lastName = "Lee";
        r.duration = seconds;
        titles[key] = r;
    }
    auto lookup = [&](int key, TitleRecord& record) {
        auto t = titles.find(key);
        if (t == titles.end())
            return false;
        record = t->second;
        return true;
    };
    auto listing = BuildProgramListing({"1", " 2", "3", "1"}, 1, kModePlaying, lookup);
    EXPECT_EQ(listing.summary, "4 title(s)  ---  3:30");
    ASSERT_EQ(listing.rows.size(), 4u);
    EXPECT_EQ(listing.rows[0].order, "1");
    EXPECT_EQ(listing.rows[1].order, "Playing");
    EXPECT_EQ(listing.rows[1].title, "Title 2");
    EXPECT_EQ(listing.rows[1].artist, "Ann Lee");
    EXPECT_EQ(listing.rows[1].duration, "1:30");
    EXPECT_EQ(listing.rows[2].duration, "?");
    EXPECT_EQ(listing.currentRow, 1);
    EXPECT_EQ(BuildProgramListing({"1", "2"}, 0, kModePaused, lookup).rows[0].order, "Paused");
    EXPECT_EQ(BuildProgramListing({"1", "2"}, 0, kModeIdle, lookup).rows[0].order, "Current");
    EXPECT_EQ(BuildProgramListing({"3"}, -1, kModeIdle, lookup).summary, "1 title(s)");

    auto empty = BuildProgramListing({}, -1, kModeIdle, lookup);
    EXPECT_EQ(empty.summary, "Empty");
    ASSERT_EQ(empty.rows.size(), 1u);
    EXPECT_EQ(empty.rows[0].title, "No titles in program");
    EXPECT_TRUE(empty.empty);
}

} // namespace
} // namespace tunquil
