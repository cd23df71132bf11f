// Sound from the command line: lengths as the sequencer measures them, rendering to WAV, and
// playing through the player.

#include "app/SoundFontChoice.h"
#include "base/Files.h"
#include "base/ProgramDirectory.h"
#include "ctl/CtlCommand.h"
#include "ctl/CtlLibrary.h"
#include "export/audio/AudioFile.h"
#include "export/audio/AudioSettings.h"
#include "midi/TMyMidi.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MidiPortSequencer.h"
#include "platform/SoundFontLocator.h"
#include "platform/TuneRenderer.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <thread>

namespace tunquil::ctl {

namespace {

using platform::FluidSynthSequencer;
using platform::FluidSynthSequencerOptions;
using platform::SequencerOutputKind;

std::string DeviceText(const platform::ISequencerDevice& device, uint32_t error) {
    std::string text;
    return device.ErrorText(error, text) ? text : "Undefined error code";
}

int Length(Context& ctx) {
    RejectUnknownOptions(ctx.args);
    if (ctx.args.empty())
        throw UsageError("length needs at least one MIDI file");
    FluidSynthSequencer device(platform::WithoutOutput());
    int result = kOk;
    for (const auto& path : ctx.args) {
        uint32_t length = 0;
        uint32_t error = platform::MeasureTuneLength(path, length);
        if (error) {
            ctx.err << path << ": " << DeviceText(device, error) << "\n";
            result = kProblems;
            continue;
        }
        ctx.out << length << "\t" << path << "\n";
    }
    return result;
}

// Renders into a compressed audio file: read, rendered, brought to the loudness asked for and
// encoded as the export of titles does it.
int RenderAudio(Context& ctx, AudioFileOptions& options) {
    options.tags.title = fs::path(ctx.args[0]).stem().string();
    try {
        std::string bytes = ReadWholeFile(ctx.args[0]);
        platform::TuneRenderer renderer(options.settings.soundFontSetting,
                                        options.settings.EffectiveSampleRate());
        WriteAudioFile(renderer, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                       ctx.args[1], options);
    } catch (const AudioFileExists& e) {
        ctx.err << e.what() << " (--force replaces it)\n";
        return kProblems;
    } catch (const std::exception& e) {
        ctx.err << ctx.args[0] << ": " << e.what() << "\n";
        return kProblems;
    }
    return kOk;
}

int Render(Context& ctx) {
    const TempoAndKey shape = TakeTempoAndKey(ctx.args);
    auto soundFont = TakeOption(ctx.args, "--soundfont");
    // Every option is taken before the output is looked at, so that one written last is not
    // mistaken for the output file.
    const std::size_t before = ctx.args.size();
    AudioFileOptions audio;
    audio.settings = TakeAudioSettings(ctx.args);
    audio.replace = TakeFlag(ctx.args, "--force");
    const bool audioOptions = ctx.args.size() != before;
    RejectUnknownOptions(ctx.args);
    if (ctx.args.size() != 2)
        throw UsageError("render needs a MIDI file and an audio file (.wav, .flac, .ogg, .opus or "
                         ".mp3)");
    // A WAV file comes straight from the sequencer device, as it plays, its last notes ringing
    // out; the other formats go through the audio export.
    std::optional<AudioFormat> format = AudioFormatOfFile(ctx.args[1]);
    if (format && *format != AudioFormat::Wave) {
        audio.settings.format = *format;
        audio.settings.soundFontSetting = soundFont.value_or("");
        audio.rate = shape.percent / 100.0;
        audio.semitones = shape.semitones;
        return RenderAudio(ctx, audio);
    }
    if (audioOptions)
        throw UsageError("--format, --rate, --quality, --loudness and --force are for the "
                         "compressed formats (.flac, .ogg, .opus, .mp3)");
    FluidSynthSequencerOptions options;
    options.output = SequencerOutputKind::WaveFile;
    options.waveFile = ctx.args[1];
    options.soundFontSetting = soundFont.value_or("");
    FluidSynthSequencer device(options);
    device.SetTempo(shape.percent / 100.0);
    device.SetTranspose(shape.semitones);
    platform::SequencerDeviceId id = 0;
    uint32_t error = device.Open(ctx.args[0], id);
    if (!error)
        error = device.Play(id, 0u, std::nullopt);
    uint32_t mode = uint32_t(platform::SequencerMode::Playing);
    while (!error && mode == uint32_t(platform::SequencerMode::Playing)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        error = device.Status(id, platform::SequencerStatusItem::Mode, mode);
    }
    if (id) {
        uint32_t closed = device.Close(id); // a WAV file that failed is told here at the latest
        if (!error)
            error = closed;
    }
    if (error) {
        ctx.err << ctx.args[0] << ": " << DeviceText(device, error) << "\n";
        return kProblems;
    }
    return kOk;
}

// The player's mode in words, as a person reads it.
const char* ModeName(int mode) {
    switch (mode) {
    case TMyMidi::kPaused:
        return "paused";
    case TMyMidi::kPlaying:
        return "playing";
    case TMyMidi::kStopped:
        return "stopped";
    case TMyMidi::kOpen:
        return "open";
    case TMyMidi::kSeeking:
        return "seeking";
    default:
        return "not ready";
    }
}

int Play(Context& ctx) {
    auto file = TakeOption(ctx.args, "--file");
    auto seconds = TakeOption(ctx.args, "--seconds");
    auto output = TakeOption(ctx.args, "--output").value_or("server");
    auto soundFont = TakeOption(ctx.args, "--soundfont");
    const TempoAndKey shape = TakeTempoAndKey(ctx.args);
    RejectUnknownOptions(ctx.args);
    if (!file || !ctx.args.empty())
        throw UsageError("play needs --file FILE and nothing else");
    double limit = -1;
    if (seconds) {
        try {
            limit = std::stod(*seconds);
        } catch (const std::exception&) {
            throw UsageError("--seconds needs a number");
        }
    }
    auto device = SequencerFor(output, soundFont.value_or(""));
    TMyMidi player(*device);
    player.MidiFile = *file;
    try {
        player.SetTempo(shape.percent / 100.0);
        player.SetTranspose(shape.semitones);
        player.Open();
        player.Play();
        auto start = std::chrono::steady_clock::now();
        auto nextReport = start;
        for (;;) {
            auto now = std::chrono::steady_clock::now();
            int mode = player.Mode();
            bool over = mode != TMyMidi::kPlaying && mode != TMyMidi::kSeeking;
            bool timeUp = limit >= 0 && std::chrono::duration<double>(now - start).count() >= limit;
            if (now >= nextReport || over || timeUp) {
                ctx.out << player.Position() << " ms of " << player.Length() << " ms, "
                        << ModeName(mode) << std::endl;
                nextReport += std::chrono::seconds(1);
            }
            if (over || timeUp)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        player.Stop();
        player.Close();
    } catch (const EMciError& e) {
        ctx.err << "Play problem: " << e.what() << "\n";
        return kProblems;
    }
    return kOk;
}

// Shows the SoundFont setting and the file the synthesizer would load, or sets the setting.
int SoundFont(Context& ctx) {
    const bool clear = TakeFlag(ctx.args, "--clear");
    RejectUnknownOptions(ctx.args);
    if (ctx.args.size() > 1 || (clear && !ctx.args.empty()))
        throw UsageError("soundfont takes one SoundFont file, or --clear");
    IniFile ini(FindProgramDirectory(ctx.home) / "Tunquil.ini");
    if (clear || !ctx.args.empty()) {
        std::string path = clear ? std::string() : ctx.args[0];
        if (!path.empty())
            path = std::filesystem::absolute(path).string();
        TerminalHost host(ctx.err);
        if (!ChooseSoundFont(host, ini, path, {}))
            return kProblems;
    }
    std::string setting = SoundFontSetting(ini);
    ctx.out << "setting\t" << setting << "\n";
    ctx.out << "in use\t" << platform::LocateSoundFont(setting).string() << "\n";
    return kOk;
}

const OptionHelp kSoundFontOption{"--soundfont SF2", "the SoundFont to play with, instead of "
                                                     "the one set in Tunquil.ini"};

Registration length({"length", "length FILE...", Length,
                     "show the sequencer's length of MIDI files in milliseconds"});
Registration
    render({"render",
            "render [--soundfont SF2] [--tempo PERCENT] [--transpose N] FILE OUT.wav\n"
            "  render [options] FILE OUT.flac|OUT.ogg|OUT.opus|OUT.mp3",
            Render,
            "play a MIDI file into an audio file of the format its extension names",
            {kSoundFontOption,
             {"--tempo PERCENT", "the speed, 25 to 400 % of the tune's own"},
             {"--transpose N", "shift every key but the drums' by N semitones, -12 to +12"},
             {"--rate HZ", "44100 (the default) or 48000, but for WAV; Opus is always 48000"},
             {"--quality N", "0 (smallest) to 10 (best) for ogg, opus and mp3; 7 by default"},
             {"--loudness LUFS|off", "but for WAV: the loudness the file is brought to, -16 "
                                     "LUFS by default, its peaks kept under -1 dBTP"},
             {"--force", "but for WAV: replace a file that is there already"}}});
Registration soundfont({"soundfont",
                        "soundfont [SF2 | --clear]",
                        SoundFont,
                        "show or set the SoundFont that Tunquil plays with ([Sound] SoundFont= in "
                        "Tunquil.ini)",
                        {{"--clear", "go back to the system's SoundFont"}}});
} // namespace

// "play --file" plays one MIDI file straight through the player; "play KEY..." (the jukebox)
// hands over to it when --file is given.
std::unique_ptr<platform::ISequencerDevice> SequencerFor(const std::string& output,
                                                         const std::string& soundFontSetting) {
    FluidSynthSequencerOptions options; // the sound server unless told otherwise
    options.soundFontSetting = soundFontSetting;
    std::string lower = output;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const bool waveFile =
        output.find('/') != std::string::npos || (lower.size() > 4 && lower.ends_with(".wav"));
    if (output == "null") {
        options.output = SequencerOutputKind::None;
    } else if (waveFile) {
        options.output = SequencerOutputKind::WaveFile;
        options.waveFile = output;
    } else if (output != "server") {
        auto ports = platform::ListMidiOutputPorts();
        std::vector<std::string> names{platform::kBuiltInSynthesizer};
        for (const auto& port : ports)
            names.push_back(port.Name());
        std::string error;
        int chosen = platform::MatchOutputName(output, names, error);
        if (chosen < 0)
            throw UsageError(error);
        if (chosen > 0) {
            platform::MidiPortSequencerOptions portOptions;
            portOptions.port = ports[std::size_t(chosen - 1)];
            return std::make_unique<platform::MidiPortSequencer>(std::move(portOptions));
        }
    }
    return std::make_unique<FluidSynthSequencer>(options);
}

// The outputs a tune can play through, one a line, as --output takes them.
int Outputs(Context& ctx) {
    RejectUnknownOptions(ctx.args);
    RejectArguments(ctx.args);
    ctx.out << platform::kBuiltInSynthesizer << "\n";
    for (const auto& port : platform::ListMidiOutputPorts())
        ctx.out << port.Name() << "\n";
    return kOk;
}

Registration outputs({"outputs", "outputs", Outputs,
                      "list the MIDI outputs a tune can play through: the built-in synthesizer "
                      "and the system's MIDI ports (ALSA and JACK)"});

int PlayFile(Context& ctx) {
    return Play(ctx);
}

TempoAndKey TakeTempoAndKey(std::vector<std::string>& args) {
    auto number = [](const std::string& text, int low, int high, const char* what) {
        try {
            std::size_t used = 0;
            int value = std::stoi(text, &used);
            if (used == text.size() && value >= low && value <= high)
                return value;
        } catch (const std::exception&) {
        }
        throw UsageError(std::string(what) + " " + text);
    };
    TempoAndKey result;
    if (auto tempo = TakeOption(args, "--tempo"))
        result.percent = number(*tempo, 25, 400, "--tempo takes a percentage from 25 to 400, not");
    if (auto key = TakeOption(args, "--transpose"))
        result.semitones =
            number(*key, -12, 12, "--transpose takes semitones from -12 to +12, not");
    return result;
}

} // namespace tunquil::ctl
