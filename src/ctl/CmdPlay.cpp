// tunquilctl play: a terminal jukebox over the play program.

#include "app/DatabaseTitleStore.h"
#include "app/PlayProgram.h"
#include "app/SoundFontChoice.h"
#include "app/TMyMidiPlayer.h"
#include "ctl/CtlLibrary.h"
#include "database/TDMM2.h"
#include "midi/ResetTunes.h"
#include "platform/FluidSynthSequencer.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <ostream>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tunquil::ctl {

namespace {

using namespace std::chrono_literals;

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted = true;
}

// Single keys without Enter while standard input is a terminal; the old settings come back
// however the command ends.
class RawKeys {
public:
    RawKeys() {
        if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios raw = saved_;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawKeys() {
        if (active_)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    // The next key pressed, or 0.
    char Poll() {
        if (!active_)
            return 0;
        pollfd p{STDIN_FILENO, POLLIN, 0};
        char c = 0;
        if (::poll(&p, 1, 0) > 0 && ::read(STDIN_FILENO, &c, 1) == 1)
            return c;
        return 0;
    }

private:
    termios saved_{};
    bool active_ = false;
};

ResetChoice ParseReset(const std::string& text) {
    if (text == "gm")
        return ResetChoice::GMOnly;
    if (text == "gs")
        return ResetChoice::GSOnly;
    if (text == "gm-gs")
        return ResetChoice::GMThenGS;
    if (text == "gs-gm")
        return ResetChoice::GSThenGM;
    if (text == "xg")
        return ResetChoice::XGOnly;
    if (text == "gm2")
        return ResetChoice::GM2Only;
    if (text == "mt32")
        return ResetChoice::MT32Only;
    if (text == "none")
        return ResetChoice::None;
    throw UsageError("--reset takes gm, gs, gm-gs, gs-gm, xg, gm2, mt32 or none");
}

int ParseResetWait(const std::string& text) {
    try {
        std::size_t used = 0;
        int ms = std::stoi(text, &used);
        if (used == text.size() && ms >= 0 && ms <= PlayProgram::kLongestResetWaitMs)
            return ms;
    } catch (const std::exception&) {
    }
    throw UsageError("--reset-wait takes milliseconds from 0 to 5000, not " + text);
}

std::string NowPlayingLine(PlayProgram& program) {
    const NowPlaying& p = program.Panel();
    std::string head = p.Message().empty() ? std::to_string(p.TitleNumber()) + " of " +
                                                 std::to_string(p.TitleCount())
                                           : p.Message();
    std::string line = head + "  " + p.Category() + "  " + p.Artist() + "  " + p.Title() + "  " +
                       p.ElapsedText() + "/" + p.TotalText();
    if (program.TempoPercent() != 100)
        line += "  tempo " + std::to_string(program.TempoPercent()) + " %";
    if (program.Transpose() != 0)
        line += std::string("  key ") + (program.Transpose() > 0 ? "+" : "") +
                std::to_string(program.Transpose());
    return line;
}

std::string AsString(std::span<const uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

int RunPlay(Context& ctx) {
    auto& args = ctx.args;
    if (std::find(args.begin(), args.end(), "--file") != args.end() ||
        std::any_of(args.begin(), args.end(),
                    [](const std::string& a) { return a.rfind("--file=", 0) == 0; }))
        return PlayFile(ctx);
    const bool loop = TakeFlag(args, "--loop");
    const bool shuffle = TakeFlag(args, "--shuffle");
    const ResetChoice reset = ParseReset(TakeOption(args, "--reset").value_or("none"));
    const std::string output = TakeOption(args, "--output").value_or("server");
    std::optional<int> resetWait;
    if (auto wait = TakeOption(args, "--reset-wait"))
        resetWait = ParseResetWait(*wait);
    const TempoAndKey shape = TakeTempoAndKey(args);
    RejectUnknownOptions(args);
    if (args.empty())
        throw UsageError("no title keys given");
    std::vector<std::string> keys;
    for (const auto& a : args)
        keys.push_back(std::to_string(ParseKey(a)));

    auto session = CtlLibrary::Open(ctx);
    if (!session)
        return kUsage;
    TerminalHost& host = session->host();
    host.blankLineBefore = true; // below the now-playing line
    TDMM2& data = session->data();
    const fs::path home = session->dir();
    auto device = SequencerFor(output, SoundFontSetting(IniFile(home / "Tunquil.ini")));
    TMyMidi midi(*device);
    TMyMidiPlayer player(midi);
    DatabaseTitleStore store(data);
    PlayProgram program(host, player, store, RealPlayTools(host), home);
    // Ctrl-C must end the waits inside the program too.
    host.onProcessEvents = [&program] {
        if (interrupted)
            program.SetShuttingDown(true);
    };
    data.Database().AddObserver(&program);
    program.SetAutoLooping(loop);
    program.SetResetChoice(reset);
    program.SetResetWait(
        resetWait ? *resetWait
                  : IniFile(home / "Tunquil.ini")
                        .ReadInteger("Setup", "ResetWait", PlayProgram::kDefaultResetWaitMs));
    program.SetResetData(AsString(ResetTuneBytes("GMRESET")), AsString(ResetTuneBytes("GSRESET")));
    // The speed and key asked for hold for every title played.
    program.SetTempoPinned(true);
    program.SetTempoPercent(shape.percent);
    program.SetTranspose(shape.semitones);

    interrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    struct sigaction oldInt {
    }, oldTerm{};
    ::sigaction(SIGINT, &action, &oldInt);
    ::sigaction(SIGTERM, &action, &oldTerm);
    RawKeys keysIn;

    if (shuffle) {
        std::mt19937 random(static_cast<std::mt19937::result_type>(
            std::chrono::system_clock::now().time_since_epoch().count()));
        PlayProgram::ShuffleEntries(keys, random);
    }
    program.SetSelection(keys, SelectionSource::CategoryGrid);
    program.PlayBottom();

    bool anyPlayed = program.Active();
    std::string lastLine;
    bool quit = false;
    while (!interrupted && !quit) {
        if (program.TimerRunning())
            program.Tick();
        anyPlayed = anyPlayed || program.Active();
        std::string line = NowPlayingLine(program);
        if (line != lastLine) {
            ctx.out << line << "\n" << std::flush;
            lastLine = line;
        }
        if (!loop && program.ProgramEnded())
            break;
        if (!program.Active() && !PlayingLike(program.SafeMode()))
            break; // nothing left to play
        switch (keysIn.Poll()) {
        case 'n':
            program.Next();
            break;
        case 'p':
            program.Previous();
            break;
        case ' ':
            program.PauseOrResume();
            break;
        case 's':
            program.Shuffle();
            break;
        case '+':
            program.SetTempoPercent(program.TempoPercent() + 5);
            break;
        case '-':
            program.SetTempoPercent(program.TempoPercent() - 5);
            break;
        case 'u':
            program.SetTranspose(program.Transpose() + 1);
            break;
        case 'd':
            program.SetTranspose(program.Transpose() - 1);
            break;
        case 'q':
            quit = true;
            break;
        default:
            break;
        }
        std::this_thread::sleep_for(100ms);
    }

    program.SetShuttingDown(true);
    try {
        midi.Close();
    } catch (const std::exception& e) {
        ctx.err << "Exception closing MIDI: " << e.what() << "\n";
    }
    std::error_code ec;
    fs::remove(program.InternalPlayFile(), ec);
    data.Database().RemoveObserver(&program);
    host.onProcessEvents = nullptr;
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    return session->Finish(anyPlayed ? kOk : kProblems);
}

Registration
    play({"play",
          "play KEY... [--loop] [--shuffle] [--reset gm|gs|gm-gs|gs-gm|xg|gm2|mt32|none] "
          "[--reset-wait MS] "
          "[--output server|null|OUT.wav|NAME] [--tempo PERCENT] [--transpose N]\n"
          "  play --file FILE [--seconds N] [--output server|null|OUT.wav|NAME] "
          "[--soundfont SF2] [--tempo PERCENT] [--transpose N]",
          RunPlay,
          "play titles of the database, or a MIDI file, until the end or Ctrl+C",
          {{"--loop", "start again after the last title"},
           {"--shuffle", "play the titles in a random order"},
           {"--reset MODE", "the reset sent before each tune: gm, gs, gm-gs, gs-gm, xg, gm2, "
                            "mt32 or none"},
           {"--reset-wait MS", "the wait after an xg, gm2 or mt32 reset before the tune "
                               "([Setup] ResetWait= in Tunquil.ini, 60 ms unless set)"},
           {"--output WHERE", "server (the sound server, the default), null (no sound), "
                              "a WAV file, or a MIDI output by its name or a unique part of it "
                              "(tunquilctl outputs lists them)"},
           {"--tempo PERCENT", "the speed, 25 to 400 % of the tunes' own (keys + and -)"},
           {"--transpose N", "shift every key but the drums' by N semitones, -12 to +12 "
                             "(keys u and d)"},
           {"--file FILE", "play this MIDI file rather than titles"},
           {"--seconds N", "with --file: stop after N seconds"},
           {"--soundfont SF2", "with --file: the SoundFont to play with"}}});

} // namespace

} // namespace tunquil::ctl
