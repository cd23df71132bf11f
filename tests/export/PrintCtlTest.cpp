// tunquilctl print: reports written as PDF files and read back with the poppler tools.

#include "base/Files.h"
#include "database/TAlbList.h"
#include "export/archive/StoredTune.h"
#include "export/print/QtReportCanvas.h"
#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <QGuiApplication>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace tunquil {
namespace {

using test::RunCtl;
using test::SmallMidiFile;
using test::TestProgram;

std::string Shell(const std::string& command) {
    std::string out;
    std::array<char, 4096> buffer;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        out.append(buffer.data(), n);
    ::pclose(pipe);
    return out;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// 120 titles in "Rock" and one in "Jazz"; the album "Best" holds two of them.
class PrintCtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string midi = SmallMidiFile(2, "p");
        int32_t rock = p.categories.AddCategory("Rock");
        int32_t pk = p.data.Performers().FindOrAdd("Ann", "Lee");
        auto source = p.dir.Write("fixture/tune.mid", midi);
        ZipOneFile(source, p.dir / "fixture/tune.zip");
        for (int i = 0; i < 120; ++i)
            keys.push_back(p.data.AddTitle(p.dir / "fixture/tune.zip",
                                           "Rock song " + std::to_string(i + 1), true, 45000.5, 61,
                                           pk, rock, "origin"));
        jazz = p.AddTitle("Blue tune", midi);
        TAlbList albums(p.dir.path());
        albums.Load("Albums");
        albums.SetDatabase(&p.db());
        albums.AppendTitles(albums.AddAlbum("Best"), {keys[4], jazz});
        albums.Save();
        p.data.Close();
    }
    int Ctl(const std::string& args, std::string& out) {
        return RunCtl("--home '" + p.dir.path().string() + "' print " + args, out, true);
    }

    TestProgram p;
    std::vector<int32_t> keys;
    int32_t jazz = 0;
};

TEST_F(PrintCtlTest, ACategoryReportListsEveryTitleWithSummaryAndPageFooters) {
    auto pdf = p.dir / "out/rock.pdf";
    fs::create_directories(pdf.parent_path());
    std::string out;
    ASSERT_EQ(
        Ctl("--pdf '" + pdf.string() + "' --category Rock --columns title,duration,artist", out), 0)
        << out;
    std::string text = Shell("pdftotext -layout '" + pdf.string() + "' -");
    std::string info = Shell("pdfinfo '" + pdf.string() + "'");
    EXPECT_NE(info.find("Tunquil report: Category: Rock"), std::string::npos) << info;
    std::smatch pages;
    ASSERT_TRUE(std::regex_search(info, pages, std::regex("Pages:\\s+(\\d+)")));
    int n = std::stoi(pages[1]);
    EXPECT_GE(n, 2);
    EXPECT_EQ(Count(text, "Category: Rock"), n);
    // pdftotext gives runs of spaces as one.
    EXPECT_EQ(Count(text, "120 titles --- 2:02:00"), n) << text.substr(0, 400);
    for (int page = 1; page <= n; ++page)
        EXPECT_EQ(Count(text, "Tunquil report: Page " + std::to_string(page) + " of " +
                                  std::to_string(n)),
                  1);
    for (int i = 1; i <= 120; ++i)
        EXPECT_TRUE(
            std::regex_search(text, std::regex("Rock song " + std::to_string(i) + "\\s+1:01\\b")))
            << i;
    EXPECT_EQ(Count(text, "Origin"), 0);
    EXPECT_NE(out.find("Printed 120 title(s) on " + std::to_string(n) + " page(s)"),
              std::string::npos);
    // The page as the screenshot tour shows it.
    EXPECT_EQ(Shell("pdftoppm -r 40 -png -f 1 -l 1 '" + pdf.string() + "' '" +
                    (p.dir / "out/page").string() + "'"),
              "");
    EXPECT_TRUE(fs::exists(p.dir / "out/page-1.png") || fs::exists(p.dir / "out/page-01.png") ||
                fs::exists(p.dir / "out/page-001.png"));
}

TEST_F(PrintCtlTest, AnAlbumReportKeepsTheAlbumsOrderAndAHeadingGiven) {
    auto pdf = p.dir / "best.pdf";
    std::string out;
    ASSERT_EQ(Ctl("--pdf '" + pdf.string() + "' --album best --landscape --heading 'My best'", out),
              0)
        << out;
    std::string text = Shell("pdftotext -layout '" + pdf.string() + "' -");
    EXPECT_NE(text.find("My best"), std::string::npos);
    EXPECT_NE(text.find("2 titles --- "), std::string::npos);
    auto five = text.find("Rock song 5"), blue = text.find("Blue tune");
    ASSERT_NE(five, std::string::npos);
    ASSERT_NE(blue, std::string::npos);
    EXPECT_LT(five, blue);
    EXPECT_NE(Shell("pdfinfo '" + pdf.string() + "'").find("842 x 595 pts"), std::string::npos);
}

TEST_F(PrintCtlTest, FailuresChangeNoFileAndSayWhy) {
    auto pdf = p.dir.Write("kept.pdf", "an older report");
    std::string out;
    EXPECT_EQ(Ctl("--pdf '" + pdf.string() + "' --category Nothing", out), 1);
    EXPECT_NE(out.find("there is no category \"Nothing\""), std::string::npos) << out;
    EXPECT_EQ(Ctl("--pdf '" + pdf.string() + "' --columns title,genre 1", out), 2);
    EXPECT_NE(out.find("unknown column"), std::string::npos) << out;
    EXPECT_EQ(Ctl("--pdf '" + (p.dir / "no/such/dir.pdf").string() + "' 1", out), 1);
    EXPECT_NE(out.find("the folder does not exist"), std::string::npos) << out;
    EXPECT_EQ(ReadWholeFile(pdf), "an older report");
}

// Someone who can write the report's folder places a link under the name the report is drawn
// into, once the name is chosen: the report must go into a file of its own, never through the
// link into the file it leads to.
TEST_F(PrintCtlTest, AReportSavedAsPdfNeverWritesThroughALinkPlacedUnderItsName) {
    struct PlantingHost : ScriptedHost {
        fs::path link, victim;
        void SetBusy(bool busy) override {
            std::error_code ec;
            if (busy)
                fs::create_symlink(victim, link, ec); // fails once the name is taken
            ScriptedHost::SetBusy(busy);
        }
    } host;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "test_export";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    host.victim = p.dir.Write("victim.txt", "not a report");
    host.link = p.dir / "report.1.pdf";
    TMyDB db(host);
    db.Open(p.dir / "Music");
    ReportRequest request;
    request.heading = "Rock";
    request.masterKeys = {keys[0], keys[1]};
    EXPECT_TRUE(PrintReportToPdf(db, host, request, p.dir / "report.pdf")) << host.LastMessage();
    EXPECT_TRUE(ReadWholeFile(host.victim) == "not a report") << "the report went through the link";
    EXPECT_FALSE(fs::is_symlink(p.dir / "report.pdf"));
    EXPECT_EQ(ReadWholeFile(p.dir / "report.pdf").substr(0, 5), "%PDF-");
}

} // namespace
} // namespace tunquil
