#include "TestTunes.h"
#include "base/ScriptedHost.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace tunquil::test {
namespace {

class CmdPlayTest : public ::testing::Test {
protected:
    TempDir home;
    std::vector<int32_t> keys;

    CmdPlayTest() {
        ScriptedHost host;
        TDMM2 data(home.path(), host);
        data.OpenDatabase();
        TCatList categories(home.path());
        categories.SetDatabase(&data.Database());
        data.SetCategoryList(&categories);
        keys.push_back(AddStoredTitle(data, categories, "First", OneNoteTune(300, 60)));
        keys.push_back(AddStoredTitle(data, categories, "Second", OneNoteTune(300, 62)));
        keys.push_back(AddStoredTitle(data, categories, "Long", OneNoteTune(30000, 64)));
        keys.push_back(AddStoredTitle(data, categories, "Longer", OneNoteTune(40000, 65)));
        keys.push_back(AddStoredTitle(data, categories, "Medium", OneNoteTune(1000, 67)));
    }
    int Run(const std::string& args, std::string& output) {
        return RunCtl("--home '" + home.path().string() + "' play " + args + " </dev/null", output,
                      true);
    }
};

TEST_F(CmdPlayTest, PlaysProgramOnceAndEndsAtRestOnFirstTitle) {
    std::string out;
    int rc = Run(std::to_string(keys[0]) + " " + std::to_string(keys[1]) + " --output null", out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("1 of 2  Jazz  Ann Lee  First  0:00/0:00"), std::string::npos) << out;
    EXPECT_NE(out.find("2 of 2  Jazz  Ann Lee  Second"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(home / "AInternal.MID"));
}

TEST_F(CmdPlayTest, RendersEachTitleOfTheProgramOnceToWaveFile) {
    // The same tunes rendered one by one are the measure of the program's rendering.
    std::string out;
    auto audioMs = [](const std::filesystem::path& wav) {
        return (double(std::filesystem::file_size(wav)) - 44) / (44100 * 4) * 1000;
    };
    double separateMs = 0;
    for (auto [name, tune] :
         {std::pair{"medium", OneNoteTune(1000, 67)}, std::pair{"second", OneNoteTune(300, 62)}}) {
        auto midi = home.Write(std::string(name) + ".mid", tune);
        auto wav = home / (std::string(name) + ".wav");
        ASSERT_EQ(RunCtl("render '" + midi.string() + "' '" + wav.string() + "'", out, true), 0)
            << out;
        separateMs += audioMs(wav);
    }

    auto wav = home / "out.wav";
    EXPECT_EQ(Run(std::to_string(keys[4]) + " " + std::to_string(keys[1]) + " --output '" +
                      wav.string() + "'",
                  out),
              0)
        << out;
    EXPECT_NE(out.find("2 of 2  Jazz  Ann Lee  Second"), std::string::npos) << out;
    ASSERT_TRUE(std::filesystem::exists(wav));
    EXPECT_NEAR(audioMs(wav), separateMs, 250); // the first title not again at the end
}

TEST_F(CmdPlayTest, InterruptStopsLoopingPlayCleanly) {
    std::string out;
    const std::string ctl = TUNQUIL_CTL_PATH;
    std::string cmd = "sh -c \"'" + ctl + "' --home '" + home.path().string() + "' play " +
                      std::to_string(keys[0]) + " " + std::to_string(keys[1]) +
                      " --loop --output null </dev/null & pid=\\$!; sleep 1.5; kill -INT "
                      "\\$pid; wait \\$pid\" 2>&1";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    EXPECT_NE(out.find("2 of 2  Jazz  Ann Lee  Second"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(home / "AInternal.MID"));
}

TEST_F(CmdPlayTest, KeysOnTerminalStepAndQuit) {
    // script(1) runs the command on a terminal of its own and hands it our keys.
    std::string cmd = "(sleep 1; printf n; sleep 1; printf q) | script -qec \"'" +
                      std::string(TUNQUIL_CTL_PATH) + "' --home '" + home.path().string() +
                      "' play " + std::to_string(keys[2]) + " " + std::to_string(keys[3]) +
                      " --loop --output null\" /dev/null 2>&1";
    std::string out;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    EXPECT_NE(out.find("1 of 2  Jazz  Ann Lee  Long  0:00/0:30"), std::string::npos) << out;
    EXPECT_NE(out.find("2 of 2  Jazz  Ann Lee  Longer"), std::string::npos) << out;
}

TEST_F(CmdPlayTest, ReportsTitlesThatCannotPlayAndBadOptions) {
    std::string out;
    EXPECT_EQ(Run("9999 --output null", out), 1) << out;
    EXPECT_EQ(Run(std::to_string(keys[0]) + " --reset loud", out), 2);
    EXPECT_NE(out.find("--reset takes gm, gs, gm-gs, gs-gm, xg, gm2, mt32 or none"),
              std::string::npos);
    EXPECT_EQ(Run("--output null", out), 2);
    // An output named by nothing there: refused before anything plays, naming the outputs.
    EXPECT_EQ(Run(std::to_string(keys[0]) + " --output no-such-synthesizer", out), 2);
    EXPECT_NE(out.find("No MIDI output is named \"no-such-synthesizer\". The outputs are:\n"
                       "  Built-in synthesizer"),
              std::string::npos)
        << out;
    EXPECT_EQ(Run(std::to_string(keys[0]) + " --reset-wait soon", out), 2);
    EXPECT_NE(out.find("--reset-wait takes milliseconds"), std::string::npos) << out;

    // Without a sound server the device is to blame, never the title.
    ScopedEnv server("PULSE_SERVER", ("unix:" + (home / "no-such-socket").string()).c_str());
    EXPECT_EQ(Run(std::to_string(keys[0]) + " " + std::to_string(keys[1]), out), 1) << out;
    EXPECT_NE(out.find("MIDI device unavailable\nThe sound server cannot be reached."),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("File may be corrupted"), std::string::npos) << out;
}

} // namespace
} // namespace tunquil::test
