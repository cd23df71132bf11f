#include "export/TitleReport.h"

#include "database/TitleRecord.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace tunquil {
namespace {

using test::SmallMidiFile;
using test::TestProgram;

// A page of fixed size whose text is as wide as its characters times its point size and twice
// its point size high; records what is drawn, page by page.
struct RecordingCanvas : IReportCanvas {
    struct Text {
        int x, y;
        std::string text;
        ReportFont font;
    };
    struct Page {
        std::vector<Text> texts;
        std::vector<std::array<int, 4>> lines;
    };
    int width = 1000, height = 1400;
    bool landscape = false;
    int failOnPage = 0; // > 0: starting this page throws
    std::string title;
    std::vector<Page> pages;
    bool ended = false, aborted = false;

    void BeginDocument(const std::string& t) override {
        title = t;
        pages.emplace_back();
    }
    void NewPage() override {
        if (failOnPage == static_cast<int>(pages.size()) + 1)
            throw std::runtime_error("out of paper");
        pages.emplace_back();
    }
    void EndDocument() override { ended = true; }
    void AbortDocument() override { aborted = true; }
    int PageWidth() override { return width; }
    int PageHeight() override { return height; }
    bool Landscape() override { return landscape; }
    int TextWidth(const std::string& text, const ReportFont& f) override {
        return static_cast<int>(text.size()) * f.points;
    }
    int TextHeight(const std::string&, const ReportFont& f) override { return 2 * f.points; }
    void TextOut(int x, int y, const std::string& text, const ReportFont& f) override {
        pages.back().texts.push_back({x, y, text, f});
    }
    void Line(int x1, int y1, int x2, int y2) override {
        pages.back().lines.push_back({x1, y1, x2, y2});
    }
    std::string ShortDate(double) override { return "1/2/23"; }
    std::string Today() override { return "3/4/26"; }
    std::string TimeNow() override { return "10:00"; }

    const Text* Find(int page, const std::string& text) const {
        for (const auto& t : pages.at(page).texts)
            if (t.text == text)
                return &t;
        return nullptr;
    }
    int HorizontalLines(int page) const {
        int n = 0;
        for (const auto& l : pages.at(page).lines)
            n += l[1] == l[3];
        return n;
    }
};

class TitleReportTest : public ::testing::Test {
protected:
    std::vector<int32_t> AddTitles(int n, const std::string& origin = "o") {
        std::vector<int32_t> keys;
        for (int i = 0; i < n; ++i)
            keys.push_back(p.AddTitle("Song " + std::to_string(i % 10), midi, origin));
        return keys;
    }
    TestProgram p;
    std::string midi = SmallMidiFile(2, "r");
    RecordingCanvas canvas;
    TitleReport report{p.db(), p.host, canvas};
};

// Page 1000 x 1400: margin 42, spacing 4, gap 20, heading 40 high, rows 22 apart, 50 rows a
// page. Columns at 9 points: Category 72, Artist 54, Title 63, Duration 72 wide.
TEST_F(TitleReportTest, LaysOutFullPagesWithHeadingSummaryFooterAndGrid) {
    auto keys = AddTitles(100);
    TitleRecord first;
    ASSERT_TRUE(p.db().ReadRecordByKey(keys[0], first));
    ASSERT_TRUE(report.Print("Rock", kDefaultReportColumns, keys));
    EXPECT_TRUE(canvas.ended);
    EXPECT_EQ(canvas.title, "Tunquil report: Rock");
    ASSERT_EQ(canvas.pages.size(), 2u);
    EXPECT_EQ(report.bodyPoints(), 9);

    const auto* heading = canvas.Find(1, "Rock");
    ASSERT_TRUE(heading);
    EXPECT_EQ(heading->x, (1000 - 4 * 14) / 2);
    EXPECT_EQ(heading->y, 56);
    EXPECT_TRUE(heading->font.bold);
    std::string summary = "100 titles  ---  " + DurationText(100 * int64_t(first.duration));
    ASSERT_TRUE(canvas.Find(1, summary));
    EXPECT_EQ(canvas.Find(1, summary)->y, 42 + 40 + 4);
    ASSERT_TRUE(canvas.Find(1, "as of 3/4/26 at 10:00"));
    EXPECT_EQ(canvas.Find(1, "as of 3/4/26 at 10:00")->y, 20 + 42 + 40 + 4);
    const auto* footer = canvas.Find(1, "Tunquil report:  Page 2 of 2");
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->y, 1400 - 16 - 22);

    // Headers from x 334; the duration column is right-aligned in its 72 pixels.
    EXPECT_EQ(canvas.Find(1, "Category")->x, 334);
    EXPECT_EQ(canvas.Find(1, "Category")->y, 166);
    EXPECT_EQ(canvas.Find(1, "Artist")->x, 426);
    const auto& row1 = canvas.pages[1].texts;
    auto duration = std::find_if(row1.begin(), row1.end(),
                                 [](const auto& t) { return t.y == 166 + 22 && t.x >= 583; });
    ASSERT_NE(duration, row1.end());
    EXPECT_EQ(duration->x, 583 + 72 - 9 * static_cast<int>(duration->text.size()));

    // An exactly full last page is ruled around every row: above the headers, below them and
    // below each of the 50 rows; verticals at both ends and after each column (the last of
    // them on the right edge).
    EXPECT_EQ(canvas.HorizontalLines(1), 52);
    EXPECT_EQ(canvas.pages[1].lines.front(), (std::array<int, 4>{324, 164, 665, 164}));
    EXPECT_EQ(canvas.pages[1].lines.size(), 52u + 6u);
    EXPECT_EQ(canvas.pages[1].lines.back()[3], 166 + 51 * 22 - 2);
}

TEST_F(TitleReportTest, OneTitleWithoutColumnsPrintsHeadingsFooterAndAnEmptyGrid) {
    auto keys = AddTitles(1);
    ASSERT_TRUE(report.Print("Solo", ReportColumnSet{}, keys));
    ASSERT_EQ(canvas.pages.size(), 1u);
    TitleRecord first;
    ASSERT_TRUE(p.db().ReadRecordByKey(keys[0], first));
    EXPECT_TRUE(canvas.Find(0, "1 title  ---  " + DurationText(first.duration)));
    EXPECT_TRUE(canvas.Find(0, "Tunquil report:  Page 1 of 1"));
    EXPECT_EQ(canvas.pages[0].texts.size(), 4u);
    EXPECT_EQ(canvas.HorizontalLines(0), 3);
    EXPECT_EQ(canvas.pages[0].lines.size(), 3u + 2u);
}

TEST_F(TitleReportTest, AWideColumnDrivesTheBodySizeDownToFourPointsAndNoFurther) {
    std::string origin(kOriginCapacity, 'o');
    auto keys = AddTitles(2, origin);
    canvas.width = 500;
    ReportColumnSet columns = kDefaultReportColumns;
    columns[kReportOrigin] = true;
    ASSERT_TRUE(report.Print("Wide", columns, keys));
    EXPECT_EQ(report.bodyPoints(), 4);
    EXPECT_EQ(canvas.Find(0, origin)->font.points, 4);
    EXPECT_GE(p.host.processEventsCalls, 6);
}

TEST_F(TitleReportTest, AKeyNotFoundLeavesItsRowEmpty) {
    auto keys = AddTitles(2);
    ReportColumnSet titleOnly{};
    titleOnly[kReportTitle] = true;
    ASSERT_TRUE(report.Print("Gaps", titleOnly, {keys[0], 999999, keys[1]}));
    std::vector<int> rows;
    for (const auto& t : canvas.pages[0].texts)
        if (t.text.rfind("Song", 0) == 0)
            rows.push_back(t.y);
    EXPECT_EQ(rows, (std::vector<int>{166 + 22, 166 + 3 * 22}));
}

TEST_F(TitleReportTest, APageWithoutRoomForARowIsRefusedWithAReason) {
    auto keys = AddTitles(1);
    canvas.height = 60;
    EXPECT_FALSE(report.Print("Short", kDefaultReportColumns, keys));
    EXPECT_TRUE(canvas.aborted);
    EXPECT_FALSE(canvas.ended);
    ASSERT_EQ(p.host.messages.size(), 1u);
    EXPECT_EQ(p.host.messages[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(p.host.messages[0].text,
              "The report could not be printed: The page is too short for a single row of "
              "titles at 9 points.");
    EXPECT_EQ(p.host.busyDepth, 0);
}

TEST_F(TitleReportTest, APrintErrorAbortsTheDocumentAndIsShown) {
    auto keys = AddTitles(60);
    canvas.failOnPage = 2;
    EXPECT_FALSE(report.Print("Two pages", kDefaultReportColumns, keys));
    EXPECT_TRUE(canvas.aborted);
    EXPECT_EQ(p.host.LastMessage(), "The report could not be printed: out of paper");
}

TEST(ReportColumns, ParsesNamesInAnyCaseAndRefusesUnknownOnes) {
    ReportColumnSet expected{true, false, true, false, false, true};
    EXPECT_EQ(ParseReportColumns("category, TITLE,Date obtained"), expected);
    EXPECT_EQ(ParseReportColumns("date,title,category"), expected);
    EXPECT_EQ(ParseReportColumns(""), ReportColumnSet{});
    EXPECT_THROW(ParseReportColumns("title,genre"), std::invalid_argument);
}

} // namespace
} // namespace tunquil
