#pragma once
// tunquilctl's commands register themselves here; each subsystem keeps its commands in its own
// source file of this folder.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tunquil::platform {
class ISequencerDevice;
}
namespace tunquil {
struct AudioSettings;
}

namespace tunquil::ctl {

enum ExitCode { kOk = 0, kProblems = 1, kUsage = 2 };

// Thrown for a usage error: the text goes to standard error and the exit status is 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Context {
    std::string home;    // the --home option, empty when not given
    std::string command; // the command's name, as typed
    std::vector<std::string> args;
    std::ostream& out;
    std::ostream& err;
};

// One option of a command as the manual page describes it: "--sort KEY" and what it does.
struct OptionHelp {
    std::string option;
    std::string description;
};

// A command and its help: "tunquilctl help", the manual page and the shell completion are all
// made from these fields, so a new command needs nothing more than its registration. The help
// fields come last so that a registration without them still compiles.
struct Command {
    std::string name;
    std::string usage; // one line (or lines joined by "\n  "), shown by "tunquilctl help"
    std::function<int(Context&)> run;
    std::string summary = {}; // one sentence, without the final full stop
    std::vector<OptionHelp> options = {};
};

// Registers a command at start-up; use through a static Registration object.
void RegisterCommand(Command command);
const std::vector<Command>& Commands();

struct Registration {
    explicit Registration(Command command) { RegisterCommand(std::move(command)); }
};

// Small argument helpers shared by the commands. Options are taken out of `args`, leaving the
// positional arguments behind.
bool TakeFlag(std::vector<std::string>& args, const std::string& flag);
std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& option);
// Throws UsageError when any argument left in `args` starts with "--".
void RejectUnknownOptions(const std::vector<std::string>& args);
// Throws UsageError for anything left in `args`: for commands that take no operands.
void RejectArguments(const std::vector<std::string>& args);
int ParseKey(const std::string& text); // a positive master key, or UsageError
// A positive 32-bit number, or UsageError "not " + what + ": " + text.
int ParsePositive(const std::string& text, const std::string& what);

// Plays one MIDI file through the player (tunquilctl play --file).
int PlayFile(Context& ctx);

// --tempo PERCENT (25 to 400) and --transpose N (-12 to +12), taken out of `args`; the
// tune's own speed and key when absent. UsageError for a value out of range.
struct TempoAndKey {
    int percent = 100;
    int semitones = 0;
};
TempoAndKey TakeTempoAndKey(std::vector<std::string>& args);

// --format, --rate, --quality, --loudness and --soundfont of the audio commands, taken out of
// `args`; UsageError for a value that cannot be.
AudioSettings TakeAudioSettings(std::vector<std::string>& args);

// The sequencer's output from an --output value: "server", "null", or a WAV file's path.
// The device that --output names: "server" (the built-in synthesizer through the sound server),
// "null" (no sound), a WAV file (a path ending in .wav), or a MIDI output by its name or a part
// of it that names one only. UsageError, naming the outputs, when it names none or several.
std::unique_ptr<platform::ISequencerDevice> SequencerFor(const std::string& output,
                                                         const std::string& soundFontSetting);

} // namespace tunquil::ctl
