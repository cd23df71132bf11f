// The record files' byte layouts, texts, dates and sort orders.

#include "base/Text.h"
#include "database/ListRecords.h"
#include "database/StoredDate.h"
#include "database/TPerfList.h"
#include "database/TitleOrder.h"
#include "database/TitleRecord.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace tunquil {
namespace {

int32_t Int32At(const char* p) {
    int32_t v;
    std::memcpy(&v, p, 4); // the tests run on little-endian machines
    return v;
}

std::string ShortStringAt(const char* p) {
    return std::string(p + 1, static_cast<unsigned char>(p[0]));
}

TEST(TitleRecordFormat, EveryFieldLiesAtItsOffsetAndReadsBack) {
    TitleRecord r;
    r.active = true;
    r.slotNumber = 7;
    r.dataOffset = 0x01020304;
    r.dataSize = 999;
    r.ck = 3;
    r.pk = 4;
    r.masterKey = 42;
    r.duration = 65;
    r.albumKey = 9;
    r.durationText = "1:05";
    r.categoryName = "Rock";
    r.lastName = "Lee";
    r.firstName = "Ann";
    r.artist = "Ann Lee";
    r.title = "Song";
    r.origin = "/music/song.mid";
    r.dateObtained = 36526.75;
    TitleRecordBytes b = EncodeTitleRecord(r);
    const char* p = b.data();
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1] | p[2] | p[3], 0);
    EXPECT_EQ(Int32At(p + 4), 7);
    EXPECT_EQ(static_cast<unsigned char>(p[8]), 0x04);
    EXPECT_EQ(static_cast<unsigned char>(p[11]), 0x01);
    EXPECT_EQ(Int32At(p + 12), 999);
    EXPECT_EQ(Int32At(p + 16), 3);
    EXPECT_EQ(Int32At(p + 20), 4);
    EXPECT_EQ(Int32At(p + 24), 42);
    EXPECT_EQ(Int32At(p + 28), 65);
    EXPECT_EQ(Int32At(p + 32), 9);
    EXPECT_EQ(ShortStringAt(p + 36), "1:05");
    EXPECT_EQ(ShortStringAt(p + 45), "Rock");
    EXPECT_EQ(ShortStringAt(p + 66), "Lee");
    EXPECT_EQ(ShortStringAt(p + 87), "Ann");
    EXPECT_EQ(ShortStringAt(p + 108), "Ann Lee");
    EXPECT_EQ(ShortStringAt(p + 149), "Song");
    EXPECT_EQ(ShortStringAt(p + 190), "/music/song.mid");
    double d;
    std::memcpy(&d, p + 316, 8);
    EXPECT_EQ(d, 36526.75);
    EXPECT_EQ(DecodeTitleRecord(p), r);
}

TEST(TitleRecordFormat, TextsAreCutToTheirFieldsAtCharacterBoundaries) {
    TitleRecord r;
    r.title = std::string(45, 'x');
    // 19 ASCII bytes then a two-byte character: the cut may not split it.
    r.categoryName = std::string(19, 'c') + "\xC3\xA9";
    r.origin = std::string(200, 'o');
    TitleRecord back = DecodeTitleRecord(EncodeTitleRecord(r).data());
    EXPECT_EQ(back.title, std::string(40, 'x'));
    EXPECT_EQ(back.categoryName, std::string(19, 'c'));
    EXPECT_EQ(back.origin.size(), 125u);
}

TEST(TitleRecordFormat, DamagedLengthBytesAndWindowsTextAreReadSafely) {
    TitleRecordBytes b{};
    b[149] = static_cast<char>(255); // title length past its 40-byte field
    std::memset(b.data() + 150, 'a', 40);
    b[190] = 3; // origin "caf\xE9" would be Windows-1252; three bytes then
    std::memcpy(b.data() + 191, "\xE9t\xE9", 3);
    b[36] = 9; // duration text one past its capacity of 8
    TitleRecord r = DecodeTitleRecord(b.data());
    EXPECT_EQ(r.title, std::string(40, 'a'));
    EXPECT_EQ(r.origin, "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(r.durationText.size(), 8u);
}

TEST(TitleRecordFormat, DurationTextFollowsMinutesAndHours) {
    EXPECT_EQ(DurationText(0), "?");
    EXPECT_EQ(DurationText(-1), "?");
    EXPECT_EQ(DurationText(5), "0:05");
    EXPECT_EQ(DurationText(59), "0:59");
    EXPECT_EQ(DurationText(60), "1:00");
    EXPECT_EQ(DurationText(3599), "59:59");
    EXPECT_EQ(DurationText(3600), "1:00:00");
    EXPECT_EQ(DurationText(37230), "10:20:30");
    TitleRecord r;
    r.durationText = DurationText(100 * 3600 + 1); // 100:00:01 does not fit
    EXPECT_EQ(DecodeTitleRecord(EncodeTitleRecord(r).data()).durationText, "100:00:0");
}

TEST(StoredDates, CountDaysFromTheEndOf1899InLocalTime) {
    std::tm tm{};
    tm.tm_year = 100; // 2000-01-01 18:00:00 local
    tm.tm_mday = 1;
    tm.tm_hour = 18;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    EXPECT_DOUBLE_EQ(StoredDateFromTime(t), 36526.75);
    EXPECT_EQ(TimeFromStoredDate(36526.75), t);
    EXPECT_EQ(FormatStoredDateIso(36526.75), "2000-01-01T18:00:00");
    EXPECT_EQ(FormatStoredDateIso(0), "1899-12-30T00:00:00");
}

TEST(ListRecordFormat, CategoryPerformerAndAlbumRecordsKeepTheirLayout) {
    char c[kCategoryRecordSize];
    EncodeCategoryRecord({5, 2, 300, "Jazz"}, c);
    EXPECT_EQ(Int32At(c), 5);
    EXPECT_EQ(Int32At(c + 4), 2);
    EXPECT_EQ(Int32At(c + 8), 300);
    EXPECT_EQ(ShortStringAt(c + 12), "Jazz");
    EXPECT_EQ(Int32At(c + 56) | Int32At(c + 60) | Int32At(c + 64), 0);
    EXPECT_EQ(DecodeCategoryRecord(c), (CategoryRecord{5, 2, 300, "Jazz"}));

    char p[kPerformerRecordSize];
    PerformerRecord perf{8, std::string(30, 'f'), "Lee", "x"};
    EncodePerformerRecord(perf, p);
    EXPECT_EQ(Int32At(p), 8);
    EXPECT_EQ(ShortStringAt(p + 4), std::string(25, 'f'));
    EXPECT_EQ(ShortStringAt(p + 30), "Lee");
    EXPECT_EQ(ShortStringAt(p + 56), "x");

    char a[kAlbumRecordSize];
    EncodeAlbumRecord({3, 1, 60, "Best"}, a);
    EXPECT_EQ(Int32At(a), 3);
    EXPECT_EQ(ShortStringAt(a + 12), "Best");
    EXPECT_EQ(DecodeAlbumRecord(a), (AlbumRecord{3, 1, 60, "Best"}));
}

TEST(TitleSortOrders, FollowTheirTieBreaksIgnoringOnlyAsciiCase) {
    auto fields = [](const char* cat, const char* last, const char* first, const char* title) {
        TitleSortFields f;
        f.category = cat;
        f.lastName = last;
        f.firstName = first;
        f.title = title;
        return f;
    };
    auto annLee = fields("Rock", "Lee", "Ann", "b");
    auto bobLee = fields("Pop", "lee", "Bob", "a");
    EXPECT_LT(CompareTitles(TitleSortMode::ByArtist, annLee, bobLee), 0);
    EXPECT_GT(CompareTitles(TitleSortMode::ByCategory, annLee, bobLee), 0);
    EXPECT_GT(CompareTitles(TitleSortMode::ByTitle, annLee, bobLee), 0);
    auto sameArtist = fields("Rock", "LEE", "ann", "A");
    EXPECT_GT(CompareTitles(TitleSortMode::ByArtist, annLee, sameArtist), 0);
    // Accented letters are not folded: "é" sorts after every ASCII letter.
    EXPECT_GT(CompareTitles(TitleSortMode::ByTitle, fields("", "", "", "\xC3\xA9"),
                            fields("", "", "", "z")),
              0);
    TitleSortFields older, newer;
    older.dateObtained = 100;
    newer.dateObtained = 200;
    older.duration = 300;
    newer.duration = 20;
    EXPECT_LT(CompareTitles(TitleSortMode::ByDate, newer, older), 0);
    EXPECT_LT(CompareTitles(TitleSortMode::ByDuration, newer, older), 0);
    EXPECT_EQ(ParseTitleSortMode("origin"), TitleSortMode::ByOrigin);
    EXPECT_FALSE(ParseTitleSortMode("Origin"));
}

TEST(TitleSortOrders, AgreeWithTheSharedCaseInsensitiveComparison) {
    // Letters next to the folded ranges and bytes above ASCII are where a fast path slips.
    const std::string alphabet = "aAzZ@[`{_0\xC3\xA9";
    std::mt19937 rng(1);
    auto text = [&] {
        std::string s(rng() % 6, ' ');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (int i = 0; i < 20000; ++i) {
        std::string a = text(), b = text();
        TitleSortFields x, y;
        x.title = a;
        y.title = b;
        ASSERT_EQ(sign(CompareTitles(TitleSortMode::ByTitle, x, y)),
                  sign(CompareTextIgnoringCase(a, b)))
            << a << " / " << b;
    }
}

TEST(ArtistText, SplitsAtTheFirstCommaAndJoinsLastNameFirst) {
    std::string first, last;
    SplitArtistText("  Lee, Ann B. ", first, last);
    EXPECT_EQ(last, "Lee");
    EXPECT_EQ(first, " Ann B.");
    SplitArtistText("Lee", first, last);
    EXPECT_EQ(last, "Lee");
    EXPECT_EQ(first, "");
    SplitArtistText(" , ", first, last);
    EXPECT_EQ(last + first, "");
    EXPECT_EQ(JoinArtistText(" Ann ", "Lee"), "Lee, Ann");
    EXPECT_EQ(JoinArtistText("", "Lee"), "Lee");
    EXPECT_EQ(JoinArtistText("Ann", ""), ", Ann");
    EXPECT_EQ(JoinFullName(" Ann ", " Lee "), "Ann Lee");
    EXPECT_EQ(JoinFullName("", "Lee"), "Lee");
}

} // namespace
} // namespace tunquil
