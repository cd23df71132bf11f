// The words of karaoke and lyric files made with mido, one file for each convention, as the
// core reads them, as tunquilctl prints them, and as titles added from such files keep them.

#include "midi/Lyrics.h"

#include "app/LyricsDisplay.h"
#include "base/Files.h"
#include "base/Text.h"
#include "platform/MidiSequence.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace tunquil {
namespace {

using test::RunCtl;
using test::RunShell;
using test::TempDir;

const fs::path kSource = fs::path(TUNQUIL_TEST_DATA_DIR).parent_path().parent_path();

// A real tune: the first of the free game music that the test command installs (Debian's
// openttd-openmsx), or of the benchmarks' copy of it.
fs::path RealTune() {
    for (const fs::path folder :
         {fs::path("/usr/share/games/openttd/baseset/openmsx"), kSource / "bench-data/openmsx"}) {
        std::vector<fs::path> tunes;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec))
            if (e.path().extension() == ".mid")
                tunes.push_back(e.path());
        std::sort(tunes.begin(), tunes.end());
        if (!tunes.empty())
            return tunes.front();
    }
    return {};
}

class LyricsFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        realTune_ = RealTune();
        std::string out;
        made_ =
            RunShell("/usr/bin/python3 '" + (kSource / "tests/support/karaoke_tunes.py").string() +
                         "' '" + dir_->path().string() + "' '" + realTune_.string() + "' 2>&1",
                     out) == 0;
        madeOutput_ = out;
    }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override { ASSERT_TRUE(made_) << madeOutput_; }

    static Lyrics Read(const std::string& name) {
        std::string bytes = ReadWholeFile(dir_->path() / name);
        return Lyrics::FromMidi(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
            IsKaraokeFileName(name));
    }
    static int Ctl(const std::string& args, std::string& out, bool withErrors = false) {
        return RunCtl("--home '" + (dir_->path() / "home").string() + "' " + args, out, withErrors);
    }

    static inline TempDir* dir_ = nullptr;
    static inline fs::path realTune_;
    static inline bool made_ = false;
    static inline std::string madeOutput_;
};

// Lyric events that end their own lines: each mark, CR, LF or CR LF, ends one line, and only
// a line with nothing in it starts a paragraph.
TEST(LyricLineEnds, EachEndOfLineMarkEndsOneLine) {
    auto text = [](std::vector<std::string> events) {
        std::vector<platform::SequenceText> texts;
        for (std::size_t i = 0; i < events.size(); ++i)
            texts.push_back({100.0 * double(i), 0, platform::SequenceText::kLyric, events[i]});
        return Lyrics::FromTexts(texts, false).Text();
    };
    EXPECT_EQ(text({"One\r\n", "Two\r\n", "Three"}), "One\nTwo\nThree\n");
    EXPECT_EQ(text({"One\r", "Two\n", "Three"}), "One\nTwo\nThree\n");
    EXPECT_EQ(text({"One", "\r\nTwo", "\r\nThree"}), "One\nTwo\nThree\n");
    EXPECT_EQ(text({"One\r\n", "\r\n", "Two"}), "One\n\nTwo\n");
    EXPECT_EQ(text({"One\r\n\r\nTwo"}), "One\n\nTwo\n");
}

TEST_F(LyricsFiles, EachConventionGivesItsLinesAsTextAndAsLrc) {
    struct Case {
        const char* file;
        const char* text;
        const char* lrc;
    };
    const Case cases[] = {
        // CR, CR LF and LF end lines, an empty line starts a paragraph; times cross the
        // tempo change at 2000 ms; the Text event of a file that is no karaoke file is left.
        {"lyric-events.mid", "Hello world\nSecond\n\nThird\n",
         "[00:00.00]Hello world\n[00:01.00]Second\n\n[00:03.00]Third\n"},
        // "@" headers, "\" paragraphs, "/" lines; the Text words win over a Lyric copy and
        // over a lone comment in another track.
        {"soft.kar", "Twinkle twinkle\nLittle star\n\nHow I wonder\n",
         "[ti:My Song]\n[ar:Some Singer]\n[00:00.10]Twinkle twinkle\n[00:00.60]Little "
         "star\n\n[00:02.20]How I wonder\n"},
        {"latin.kar", "Café “olé”\n", "[00:00.00]Café “olé”\n"},
        {"latin.mid", "", ""},
        {"utf8.mid", "Grüße “olé”\n", "[00:00.00]Grüße “olé”\n"},
        {"slashes.mid", "One\nTwo\nThree\n", "[00:00.00]One\n[00:00.10]Two\n[00:00.20]Three\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string file = "--file '" + (dir_->path() / c.file).string() + "'";
        std::string out;
        EXPECT_EQ(Ctl("lyrics " + file, out), 0);
        EXPECT_EQ(SplitLines(out), SplitLines(c.text));
        EXPECT_EQ(Ctl("lyrics --lrc " + file, out), 0);
        EXPECT_EQ(SplitLines(out), SplitLines(c.lrc));
    }
    std::string out;
    EXPECT_EQ(Ctl("lyrics --file '" + (dir_->path() / "latin.mid").string() + "'", out, true), 0);
    EXPECT_EQ(out, "tunquilctl lyrics: no lyrics\n");
    const fs::path wave = dir_->Write("not-midi.kar", "RIFF....WAVE");
    EXPECT_EQ(Ctl("lyrics --file '" + wave.string() + "'", out), 1);
}

TEST_F(LyricsFiles, HeadersAndTheSungPartFollowThePosition) {
    const Lyrics lyrics = Read("soft.kar");
    EXPECT_EQ(lyrics.Titles(), (std::vector<std::string>{"My Song", "Some Singer"}));
    EXPECT_EQ(lyrics.Language(), "ENGL");
    EXPECT_EQ(lyrics.Information(), std::vector<std::string>{"First info"});

    struct Case {
        double ms;
        const char *sung, *unsung, *next;
    };
    const Case cases[] = {
        {0, "", "Twinkle twinkle", "Little star"}, // the first line waits to be sung
        {100, "Twin", "kle twinkle", "Little star"},
        {299.9, "Twinkle ", "twinkle", "Little star"},
        {450, "Twinkle twinkle", "", "Little star"}, // stays until the next line begins
        {650, "Lit", "tle star", "How I wonder"},
        {2250, "How ", "I wonder", ""},
        {1e9, "How I wonder", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        EXPECT_EQ(DisplayLyrics(lyrics, true, c.ms), (LyricsDisplay{"", c.sung, c.unsung, c.next}));
    }
    EXPECT_EQ(DisplayLyrics(lyrics, false, 650).note, kNothingPlayingNote);
    EXPECT_EQ(DisplayLyrics(Read("latin.mid"), true, 0).note, kNoLyricsNote);
}

TEST_F(LyricsFiles, KaraokeFilesAddedAsTitlesKeepTheirLyrics) {
    const fs::path in = dir_->path() / "add";
    fs::create_directories(in);
    std::vector<std::string> names{"soft.kar", "latin.kar"};
    if (!realTune_.empty())
        names.push_back("real.kar");
    for (const auto& name : names)
        fs::copy_file(dir_->path() / name, in / name);
    std::string out;
    ASSERT_EQ(Ctl("add '" + in.string() + "'", out), 0) << out;
    ASSERT_EQ(Ctl("list --tsv", out), 0);
    std::string softKey;
    for (const std::string& line : SplitLines(out)) {
        if (line.rfind("key", 0) == 0)
            continue;
        std::vector<std::string> fields; // key ... origin, date obtained
        for (std::size_t at = 0, tab; at <= line.size(); at = tab + 1) {
            tab = std::min(line.find('\t', at), line.size());
            fields.push_back(line.substr(at, tab - at));
        }
        ASSERT_EQ(fields.size(), 8u) << line;
        const std::string key = fields[0];
        const std::string name = fs::path(fields[6]).filename().string();
        SCOPED_TRACE(name);
        std::string byKey, byFile;
        // A title's words come out of the database in memory: with no usable temporary folder
        // they still do, so no file under a guessable name there can be made to redirect a write.
        ::setenv("TMPDIR", (in / name).c_str(), 1);
        EXPECT_EQ(Ctl("lyrics --lrc " + key, byKey), 0);
        ::unsetenv("TMPDIR");
        EXPECT_EQ(Ctl("lyrics --lrc --file '" + (in / name).string() + "'", byFile), 0);
        EXPECT_FALSE(byKey.empty());
        // The same words; the title's [ti:] is the library's (the header's where the file
        // gave it the title), so a file without headers gains one.
        EXPECT_EQ(byKey.rfind("[ti:" + fields[3] + "]\n", 0), 0u) << byKey;
        auto words = [](const std::string& lrc) {
            std::string rest;
            for (const std::string& line : SplitLines(lrc))
                if (line.rfind("[ti:", 0) != 0 && line.rfind("[ar:", 0) != 0)
                    rest += line + "\n";
            return rest;
        };
        EXPECT_EQ(words(byKey), words(byFile));
        if (name == "soft.kar")
            EXPECT_EQ(byKey, byFile); // its artist is the header's: the add named none
        // A karaoke file's first "@T" header names the title its file name would have named.
        if (name == "soft.kar")
            softKey = key;
        EXPECT_EQ(fields[3], name == "soft.kar"   ? "My Song"
                             : name == "real.kar" ? "Real Tune"
                                                  : fs::path(name).stem().string());
        names.erase(std::remove(names.begin(), names.end(), name), names.end());
    }
    EXPECT_TRUE(names.empty()) << "not added: " << names.front();

    // The LRC file of a title takes its title and artist from the library, where it holds them.
    ASSERT_FALSE(softKey.empty());
    ASSERT_EQ(Ctl("edit " + softKey + " --title 'Our Song' --artist 'Lee, Ann'", out), 0) << out;
    ASSERT_EQ(Ctl("lyrics --lrc " + softKey, out), 0);
    EXPECT_EQ(out.rfind("[ti:Our Song]\n[ar:Ann Lee]\n[", 0), 0u) << out;

    if (realTune_.empty())
        GTEST_SKIP() << "no real tune: scripts/install-deps.sh installs openttd-openmsx";
    // The real tune's words against the times mido reads from the same file.
    std::string lrc;
    ASSERT_EQ(Ctl("lyrics --lrc --file '" + (in / "real.kar").string() + "'", lrc), 0);
    const auto got = SplitLines(lrc);
    const auto expected = SplitLines(ReadWholeFile(dir_->path() / "real.lrc"));
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_GT(got.size(), 5u);
    auto seconds = [](const std::string& line) {
        return std::stoi(line.substr(1, 2)) * 60 + std::stod(line.substr(4, 5));
    };
    EXPECT_EQ(got[0], expected[0]);
    for (std::size_t i = 1; i < got.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_NEAR(seconds(got[i]), seconds(expected[i]), 0.0101);
        EXPECT_EQ(got[i].substr(10), expected[i].substr(10));
    }
}

} // namespace
} // namespace tunquil
