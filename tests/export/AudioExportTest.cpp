// Titles saved as audio files, read back by independent tools: ffprobe and metaflac for the
// length, rate and tags, ffmpeg's EBU R128 meter for the loudness and the true peak.

#include "base/Files.h"
#include "base/IniFile.h"
#include "base/Text.h"
#include "export/audio/AudioExporter.h"
#include "support/SoundTestTunes.h"
#include "support/TestProgram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <regex>

namespace tunquil {
namespace {

using test::ListeningTune;
using test::RunCtl;
using test::TestProgram;
using test::TrackBuilder;

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

bool HaveTools() {
    return Shell("for t in ffprobe ffmpeg metaflac ogginfo soxi; do command -v $t >/dev/null || "
                 "echo $t; done")
        .empty();
}

// "key=value" lines of ffprobe for the file's length, rate and tags, keys in lower case.
std::map<std::string, std::string> Probe(const fs::path& file) {
    std::string text = Shell("ffprobe -v error -show_entries "
                             "format=duration:stream=sample_rate:format_tags:stream_tags "
                             "-of default=noprint_wrappers=1 '" +
                             file.string() + "'");
    std::map<std::string, std::string> fields;
    std::regex line("(?:TAG:)?([^=\\n]+)=([^\\n]*)");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        std::string key = (*it)[1];
        for (char& c : key)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        fields[key] = (*it)[2];
    }
    return fields;
}

struct Loudness {
    double integrated = 0, truePeak = 0;
};

Loudness Measure(const fs::path& file) {
    std::string text = Shell("ffmpeg -nostats -hide_banner -i '" + file.string() +
                             "' -filter_complex ebur128=peak=true -f null -");
    std::smatch i, peak;
    Loudness result{1000, 1000};
    auto summary = text.substr(std::min(text.size(), text.rfind("Summary:")));
    if (std::regex_search(summary, i, std::regex("I:\\s+(-?[0-9.]+) LUFS")))
        result.integrated = std::stod(i[1]);
    if (std::regex_search(summary, peak, std::regex("Peak:\\s+(-?[0-9.]+|-inf) dBFS")))
        result.truePeak = peak[1] == "-inf" ? -1000 : std::stod(peak[1]);
    return result;
}

// A loud five-second organ tune, and titles of it in a fresh database.
class AudioExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools())
            GTEST_SKIP() << "ffmpeg, flac, vorbis-tools or sox is missing";
    }
    int32_t Add(const std::string& title, uint32_t endMs = 5000) {
        ListeningTune tune;
        tune.endMs = endMs;
        tune.secondEndMs = std::min(tune.secondEndMs, endMs);
        return p.AddTitle(title, tune.Bytes(), "Found at the fair");
    }
    AudioExportResult Export(const std::vector<int32_t>& keys, const AudioSettings& settings,
                             ExistingAudioFile existing = ExistingAudioFile::Keep,
                             const std::string& album = {}) {
        AudioExporter exporter(p.db(), p.host, &p.categories);
        exporter.SetWorkers(2);
        return exporter.Export(keys, out, settings, existing, album);
    }
    std::vector<std::string> FilesInOut() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TestProgram p;
    fs::path out = p.dir / "music out";
};

TEST_F(AudioExportTest, EveryFormatReadsBackWithTheTunesLengthItsRateAndTheTitlesTags) {
    int32_t key = Add("Organ: \"Fair\" / day");
    struct Case {
        AudioFormat format;
        int rate;
        int expectedRate;
    };
    for (const Case& c :
         {Case{AudioFormat::Flac, 44100, 44100}, Case{AudioFormat::Vorbis, 48000, 48000},
          Case{AudioFormat::Opus, 44100, 48000}, Case{AudioFormat::Mp3, 44100, 44100},
          Case{AudioFormat::Wave, 48000, 48000}}) {
        SCOPED_TRACE(std::string(AudioFormatName(c.format)));
        AudioSettings settings;
        settings.format = c.format;
        settings.sampleRate = c.rate;
        auto result = Export({key}, settings, ExistingAudioFile::Keep, "Best of the fair");
        ASSERT_EQ(result.written.size(), 1u) << result.Summary();
        // The save-to-disk rule: no folder can be named by a title.
        auto file = out / ("Organ: \"Fair\" _ day" + std::string(AudioExtension(c.format)));
        EXPECT_EQ(result.written[0], file);
        auto fields = Probe(file);
        EXPECT_NEAR(std::stod(fields["duration"]), 5.0, 0.05);
        EXPECT_EQ(fields["sample_rate"], std::to_string(c.expectedRate));
        EXPECT_EQ(fields["title"], "Organ: \"Fair\" / day");
        EXPECT_EQ(fields["artist"], "Various");
        EXPECT_EQ(fields["album"], "Best of the fair");
        // An MP3's ID3 tag keeps the year only.
        EXPECT_EQ(fields["date"], c.format == AudioFormat::Mp3 ? "2023" : "2023-03-15");
        EXPECT_EQ(fields["comment"], "Found at the fair");
    }
    // Read by the format's own tools as well.
    auto flac = out / "Organ: \"Fair\" _ day.flac";
    // Vorbis comment names are told apart without regard to case.
    EXPECT_EQ(
        UpperAscii(Shell("metaflac --show-tag=TITLE --show-tag=ALBUM '" + flac.string() + "'")),
        UpperAscii("TITLE=Organ: \"Fair\" / day\nALBUM=Best of the fair\n"));
    EXPECT_NE(Shell("ogginfo '" + (out / "Organ: \"Fair\" _ day.ogg").string() + "'")
                  .find("Vorbis stream 1"),
              std::string::npos);
    EXPECT_EQ(Shell("soxi -r '" + (out / "Organ: \"Fair\" _ day.wav").string() + "'"), "48000\n");
}

TEST_F(AudioExportTest, FilesReachTheLoudnessAskedForWithTheirTruePeaksUnderTheCeiling) {
    int32_t key = Add("Loud", 8000);
    struct Case {
        AudioFormat format;
        double target;
    };
    for (const Case& c : {Case{AudioFormat::Flac, -16}, Case{AudioFormat::Mp3, -16},
                          Case{AudioFormat::Opus, -16}, Case{AudioFormat::Vorbis, -23}}) {
        SCOPED_TRACE(std::string(AudioFormatName(c.format)) + " " + std::to_string(c.target));
        AudioSettings settings;
        settings.format = c.format;
        settings.loudnessLufs = c.target;
        auto result = Export({key}, settings, ExistingAudioFile::Replace);
        ASSERT_EQ(result.written.size(), 1u) << result.Summary();
        Loudness measured = Measure(result.written[0]);
        EXPECT_NEAR(measured.integrated, c.target, 0.5);
        EXPECT_LT(measured.truePeak, -1.0);
    }
    // A soft organ chord and one loud drum hit, whose peaks stand 24 dB above the loudness:
    // brought to the target as a whole, the hit would pass the ceiling, so its peaks are held
    // down rather than the whole tune left quieter.
    TrackBuilder burst;
    burst.Tempo(0, 500000);
    burst.At(0, {0xC0, 19}).At(0, {0xB0, 91, 0}).At(0, {0xB0, 93, 0});
    burst.At(0, {0xB9, 91, 0}).At(0, {0xB9, 93, 0}).At(0, {0xB9, 7, 127});
    for (uint8_t key : {60, 64, 67})
        burst.Note(0, ListeningTune::Ticks(8000), 0, key, 40);
    for (uint8_t drum : {35, 36, 38, 40, 49, 57})
        burst.Note(ListeningTune::Ticks(4000), ListeningTune::Ticks(100), 9, drum, 127);
    burst.End(ListeningTune::Ticks(8000));
    int32_t peaky = p.AddTitle("Peaky", test::SmfBytes(0, 480, {burst}));
    for (AudioFormat format : {AudioFormat::Flac, AudioFormat::Mp3}) {
        SCOPED_TRACE(std::string(AudioFormatName(format)) + " with a burst");
        AudioSettings settings;
        settings.format = format;
        auto result = Export({peaky}, settings, ExistingAudioFile::Replace);
        ASSERT_EQ(result.written.size(), 1u) << result.Summary();
        Loudness measured = Measure(result.written[0]);
        EXPECT_NEAR(measured.integrated, -16, 0.5);
        EXPECT_LT(measured.truePeak, -1.0);
        EXPECT_NEAR(std::stod(Probe(result.written[0])["duration"]), 8.0, 0.05);
    }

    // Off keeps the synthesizer's own level, whatever that is: another level than the target.
    AudioSettings off;
    off.loudnessLufs.reset();
    auto result = Export({key}, off, ExistingAudioFile::Replace);
    ASSERT_EQ(result.written.size(), 1u);
    EXPECT_GT(std::abs(Measure(result.written[0]).integrated + 16), 1.0);
}

TEST_F(AudioExportTest, ADamagedTuneIsReportedAndTheOtherTitlesAreWritten) {
    int32_t first = Add("First");
    int32_t damaged = p.AddTitle("Broken", "MThd this is no MIDI file at all");
    int32_t last = Add("Last");
    auto result = Export({first, damaged, 99999, last}, AudioSettings{});
    EXPECT_EQ(result.written.size(), 2u);
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_EQ(result.failed[0].title, "Broken");
    EXPECT_NE(result.Summary().find("2 written, 1 failed: Broken ("), std::string::npos)
        << result.Summary();
    EXPECT_EQ(FilesInOut(), (std::vector<std::string>{"First.flac", "Last.flac"}));
}

TEST_F(AudioExportTest, CollidingNamesGetDistinctFilesAndExistingFilesAreReplacedOnlyWhenAllowed) {
    int32_t a = Add("Same"), b = Add("SAME"), c = Add("Other");
    fs::create_directories(out);
    WriteFileAtomically(out / "Other.flac", "mine");
    auto kept = Export({a, b, c}, AudioSettings{});
    EXPECT_EQ(FilesInOut(),
              (std::vector<std::string>{"Other.flac", "SAME (" + std::to_string(b) + ").flac",
                                        "Same.flac"}));
    EXPECT_EQ(ReadWholeFile(out / "Other.flac"), "mine");
    ASSERT_EQ(kept.kept.size(), 1u);
    EXPECT_NE(kept.Summary().find("1 already there and not replaced"), std::string::npos);

    // Asked: No keeps it, then All replaces this one and every later one without asking again.
    p.host.answers = {TModalResult::mrNo, TModalResult::mrAll};
    auto asked = Export({c, a, b}, AudioSettings{}, ExistingAudioFile::Ask);
    EXPECT_EQ(p.host.messages.size(), 2u);
    EXPECT_EQ(asked.kept.size(), 1u);
    EXPECT_EQ(asked.written.size(), 2u);
    EXPECT_EQ(ReadWholeFile(out / "Other.flac"), "mine");
    EXPECT_NE(Probe(out / "Same.flac")["duration"], "");
}

TEST_F(AudioExportTest, CancelLeavesOnlyWholeFiles) {
    std::vector<int32_t> keys;
    for (int i = 0; i < 8; ++i)
        keys.push_back(Add("Long " + std::to_string(i), 60000));
    p.host.cancelAfterProgressCalls = 2;
    auto result = Export(keys, AudioSettings{});
    EXPECT_TRUE(result.cancelled);
    EXPECT_LT(result.written.size(), keys.size());
    std::vector<std::string> written;
    for (const auto& file : result.written) {
        written.push_back(file.filename().string());
        EXPECT_NEAR(std::stod(Probe(file)["duration"]), 60.0, 0.05) << file;
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(FilesInOut(), written); // no part of a file, under any name
}

TEST_F(AudioExportTest, TheCommandLineExportsKeysAndRendersByTheOutputsExtension) {
    int32_t key = Add("Ctl tune");
    p.data.Close();
    std::string text;
    ASSERT_EQ(RunCtl("--home '" + p.dir.path().string() + "' export-audio " + std::to_string(key) +
                         " --to '" + out.string() + "' --format mp3 --loudness -20",
                     text, true),
              0)
        << text;
    EXPECT_NE(text.find("1 written"), std::string::npos) << text;
    EXPECT_NEAR(Measure(out / "Ctl tune.mp3").integrated, -20, 0.5);
    // A second run keeps the file, unless forced.
    EXPECT_EQ(RunCtl("--home '" + p.dir.path().string() + "' export-audio " + std::to_string(key) +
                         " --to '" + out.string() + "' --format mp3",
                     text, true),
              1);
    EXPECT_NE(text.find("not replaced"), std::string::npos) << text;

    auto midi = p.dir.Write("tune.mid", ListeningTune{}.Bytes());
    ASSERT_EQ(
        RunCtl("render '" + midi.string() + "' '" + (out / "r.opus").string() + "'", text, true), 0)
        << text;
    auto fields = Probe(out / "r.opus");
    EXPECT_EQ(fields["sample_rate"], "48000");
    EXPECT_EQ(fields["title"], "tune");
    EXPECT_EQ(
        RunCtl("render '" + midi.string() + "' '" + (out / "r.opus").string() + "'", text, true),
        1);
    // Options after the output are options, not the output.
    ASSERT_EQ(
        RunCtl("render '" + midi.string() + "' '" + (out / "r.flac").string() + "' --loudness -20",
               text, true),
        0)
        << text;
    EXPECT_EQ(Shell("soxi -t '" + (out / "r.flac").string() + "'"), "flac\n");
    EXPECT_NEAR(Measure(out / "r.flac").integrated, -20, 0.5);
    EXPECT_EQ(RunCtl("render --force '" + midi.string() + "' '" + (out / "r.opus").string() + "'",
                     text, true),
              0)
        << text;
}

// What the window's dialog remembers reads back as it was written, and a file edited by hand
// (or written where the decimal separator is a comma) loses only the values that cannot be.
TEST(AudioExportChoice, ReadsBackWhatWasWrittenAndFallsBackValueByValue) {
    AudioExportChoice chosen;
    chosen.folder = "/media/phone/Music";
    chosen.settings.format = AudioFormat::Opus;
    chosen.settings.sampleRate = 48000;
    chosen.settings.quality = 3;
    chosen.settings.loudnessLufs = -18.5;
    IniFile ini("/nonexistent/Tunquil.ini", "");
    WriteAudioExportChoice(ini, chosen);
    EXPECT_NE(ini.Text().find("Loudness=-18.5"), std::string::npos) << ini.Text();
    AudioExportChoice read = ReadAudioExportChoice(IniFile("/nonexistent/Tunquil.ini", ini.Text()));
    EXPECT_EQ(read.folder, chosen.folder);
    EXPECT_EQ(read.settings.format, AudioFormat::Opus);
    EXPECT_EQ(read.settings.sampleRate, 48000);
    EXPECT_EQ(read.settings.quality, 3);
    EXPECT_EQ(read.settings.loudnessLufs, -18.5);

    AudioExportChoice off = ReadAudioExportChoice(
        IniFile("/nonexistent/Tunquil.ini", "[Audio export]\nFormat=MP3\nLoudness=off\n"));
    EXPECT_EQ(off.settings.format, AudioFormat::Mp3);
    EXPECT_FALSE(off.settings.loudnessLufs);

    AudioExportChoice odd = ReadAudioExportChoice(
        IniFile("/nonexistent/Tunquil.ini", "[Audio export]\nFormat=aiff\nRate=22050\n"
                                            "Quality=11\nLoudness=-18,5\nFolder=/music\n"));
    const AudioSettings defaults;
    EXPECT_EQ(odd.folder, "/music");
    EXPECT_EQ(odd.settings.format, defaults.format);
    EXPECT_EQ(odd.settings.sampleRate, defaults.sampleRate);
    EXPECT_EQ(odd.settings.quality, defaults.quality);
    EXPECT_EQ(odd.settings.loudnessLufs, defaults.loudnessLufs);
}

} // namespace
} // namespace tunquil
