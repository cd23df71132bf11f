// Titles saved as audio files (FLAC, Ogg Vorbis, Opus, MP3, WAV) from the command line.

#include "app/SoundFontChoice.h"
#include "ctl/CtlCommand.h"
#include "ctl/CtlLibrary.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TMyDB.h"
#include "database/TitleRecord.h"
#include "export/audio/AudioExporter.h"
#include "export/audio/AudioSettings.h"
#include "platform/TerminationSignals.h"

#include <ostream>
#include <unistd.h>

namespace tunquil::ctl {

namespace {

// Shows the progress as one line redrawn in place when standard error is a terminal, and takes
// Ctrl+C as Cancel, so that an interrupted export leaves only whole files.
class ExportHost : public TerminalHost {
public:
    explicit ExportHost(std::ostream& err)
        : TerminalHost(err), terminal_(::isatty(STDERR_FILENO)) {}
    ~ExportHost() override { EndLine(); }

    void Progress(int percent, const std::string& what) override {
        if (!terminal_ || what.empty())
            return;
        std::string line = std::to_string(percent) + "% " + what;
        if (line.size() > 79)
            line = line.substr(0, 76) + "...";
        err_ << "\r" << line << std::string(width_ > line.size() ? width_ - line.size() : 0, ' ')
             << std::flush;
        width_ = line.size();
    }
    bool CancelRequested() override { return signals_.Take() != 0; }
    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override {
        EndLine();
        return TerminalHost::ShowMessage(text, type, helpContext, buttons);
    }
    void EndLine() {
        if (width_)
            err_ << "\r" << std::string(width_, ' ') << "\r" << std::flush;
        width_ = 0;
    }

private:
    bool terminal_;
    std::size_t width_ = 0;
    platform::TerminationSignals signals_;
};

} // namespace

// The format, rate, quality and loudness options shared by render and export-audio.
AudioSettings TakeAudioSettings(std::vector<std::string>& args) {
    AudioSettings settings;
    if (auto format = TakeOption(args, "--format")) {
        auto known = AudioFormatNamed(*format);
        if (!known)
            throw UsageError("--format is flac, ogg, opus, mp3 or wav, not " + *format);
        settings.format = *known;
    }
    auto number = [](const std::string& text, const char* what) {
        try {
            std::size_t used = 0;
            double value = std::stod(text, &used);
            if (used == text.size())
                return value;
        } catch (const std::exception&) {
        }
        throw UsageError(std::string(what) + " needs a number, not " + text);
    };
    if (auto rate = TakeOption(args, "--rate"))
        settings.sampleRate = int(number(*rate, "--rate"));
    if (auto quality = TakeOption(args, "--quality"))
        settings.quality = int(number(*quality, "--quality"));
    if (auto loudness = TakeOption(args, "--loudness")) {
        if (*loudness == "off")
            settings.loudnessLufs.reset();
        else
            settings.loudnessLufs = number(*loudness, "--loudness");
    }
    if (auto soundFont = TakeOption(args, "--soundfont"))
        settings.soundFontSetting = *soundFont;
    try {
        CheckAudioSettings(settings);
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
    return settings;
}

namespace {

int ExportAudio(Context& ctx) {
    auto to = TakeOption(ctx.args, "--to");
    auto category = TakeOption(ctx.args, "--category");
    auto album = TakeOption(ctx.args, "--album");
    const bool force = TakeFlag(ctx.args, "--force");
    AudioSettings settings = TakeAudioSettings(ctx.args);
    RejectUnknownOptions(ctx.args);
    if (!to || (ctx.args.empty() && !category && !album))
        throw UsageError("export-audio needs title keys, --category or --album, and --to DIR");
    std::vector<int32_t> keys;
    for (const std::string& arg : ctx.args)
        keys.push_back(ParseKey(arg));

    auto session = CtlLibrary::OpenForReading(ctx);
    if (!session)
        return kUsage;
    if (settings.soundFontSetting.empty())
        settings.soundFontSetting = SoundFontSetting(IniFile(session->dir() / "Tunquil.ini"));
    // The album tag names what was exported as a whole; single titles keep their categories.
    std::string albumTag;
    if (category) {
        const int32_t ck = session->AddCategoryTitles(*category, keys, ctx.err);
        if (ck == 0)
            return session->Finish(kProblems);
        albumTag = session->library().Categories().NameOf(ck);
    }
    if (album) {
        const TAlbList::Album* found = session->AddAlbumTitles(*album, keys, ctx.err);
        if (!found)
            return session->Finish(kProblems);
        albumTag = found->record.name;
    }
    if (category && album)
        albumTag.clear();

    ExportHost host(ctx.err);
    AudioExporter exporter(session->db(), host, &session->library().Categories());
    AudioExportResult result;
    try {
        result =
            exporter.Export(keys, *to, settings,
                            force ? ExistingAudioFile::Replace : ExistingAudioFile::Keep, albumTag);
    } catch (const std::exception& e) {
        host.EndLine();
        ctx.err << "tunquilctl: " << e.what() << "\n";
        return session->Finish(kProblems);
    }
    host.EndLine();
    for (const auto& file : result.written)
        ctx.out << file.string() << "\n";
    for (const auto& failure : result.failed)
        ctx.err << failure.title << ": " << failure.reason << "\n";
    for (const auto& file : result.kept)
        ctx.err << file.string() << ": already there, not replaced (--force replaces it)\n";
    ctx.err << result.Summary() << "\n";
    bool clean = result.failed.empty() && result.kept.empty() && !result.cancelled;
    return session->Finish(clean ? kOk : kProblems);
}

Registration exportAudio(
    {"export-audio",
     "export-audio KEY... | --category NAME | --album NAME --to DIR [--format F]\n"
     "  [--rate HZ] [--quality N] [--loudness LUFS|off] [--soundfont SF2] [--force]",
     ExportAudio,
     "save titles as audio files named after them, rendering on every core",
     {{"--to DIR", "the folder the files go to (made when missing)"},
      {"--category NAME", "every title of the category, which also names the album in the tags"},
      {"--album NAME", "every title of the album, which also names the album in the tags"},
      {"--format F", "flac (the default), ogg, opus, mp3 or wav"},
      {"--rate HZ", "44100 (the default) or 48000; Opus is always 48000"},
      {"--quality N", "0 (smallest) to 10 (best) for ogg, opus and mp3; 7 by default"},
      {"--loudness LUFS|off", "the loudness every file is brought to, -16 LUFS by default, its "
                              "peaks kept under -1 dBTP; off keeps the synthesizer's level"},
      {"--soundfont SF2", "the SoundFont to render with, instead of the system's"},
      {"--force", "replace files that are there already, which are otherwise kept"}}});

} // namespace

} // namespace tunquil::ctl
