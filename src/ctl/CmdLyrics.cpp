// tunquilctl lyrics: the words of a title or a file, as text or as an LRC file.

#include "base/Files.h"
#include "base/Text.h"
#include "ctl/CtlLibrary.h"
#include "export/archive/StoredTune.h"
#include "midi/Lyrics.h"
#include "midi/MidiProbe.h"
#include "platform/MidiSequence.h"

#include <ostream>

namespace tunquil::ctl {

namespace {

// The title's tune, unpacked from the database in memory: no file is written for it.
std::string TitleTune(Context& ctx, int key, int& status, bool& karaokeName, TitleRecord& record) {
    auto session = CtlLibrary::OpenForReading(ctx);
    if (!session) {
        status = kUsage;
        return {};
    }
    std::string stored, bytes;
    if (!session->db().ReadStoredData(key, stored, &record)) {
        ctx.err << "tunquilctl lyrics: Title " << key << " has no stored data\n";
        status = session->Finish(kProblems);
        return {};
    }
    karaokeName = IsKaraokeFileName(record.origin);
    try {
        bytes = UnpackStoredTune(std::move(stored));
    } catch (const std::exception& e) {
        ctx.err << "tunquilctl lyrics: " << Printable(e.what()) << "\n";
        status = kProblems;
    }
    status = session->Finish(status);
    return bytes;
}

int RunLyrics(Context& ctx) {
    auto& args = ctx.args;
    const bool lrc = TakeFlag(args, "--lrc");
    const auto file = TakeOption(args, "--file");
    RejectUnknownOptions(args);
    std::string bytes;
    bool karaokeName = false;
    int status = kOk;
    TitleRecord record; // the library's title and artist, for a title
    if (file) {
        RejectArguments(args);
        karaokeName = IsKaraokeFileName(*file);
        try {
            bytes = ReadInputFile(*file, kLargestTuneFile);
        } catch (const std::exception& e) {
            ctx.err << "tunquilctl lyrics: " << e.what() << "\n";
            return kProblems;
        }
    } else {
        if (args.size() != 1)
            throw UsageError("lyrics needs one title key or --file FILE");
        bytes = TitleTune(ctx, ParseKey(args[0]), status, karaokeName, record);
        if (status != kOk)
            return status;
    }
    std::vector<platform::SequenceText> texts;
    try {
        texts = platform::MidiSequence::ReadTexts(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    } catch (const platform::MidiSequenceError& e) {
        ctx.err << "tunquilctl lyrics: not a MIDI file: " << e.what() << "\n";
        return kProblems;
    }
    Lyrics lyrics = Lyrics::FromTexts(texts, karaokeName);
    if (lyrics.Empty()) {
        // Not a failure: most tunes have no words. The note goes where it cannot end up in an
        // LRC file.
        ctx.err << "tunquilctl lyrics: no lyrics\n";
        return kOk;
    }
    // The artists that adds give a title nobody named say nothing: the file's own header does.
    std::string artist = Trim(record.artist);
    if (artist == "Unknown" || artist == "Various")
        artist.clear();
    ctx.out << (lrc ? lyrics.Lrc(Trim(record.title), artist) : lyrics.Text());
    return kOk;
}

Registration lyrics({"lyrics",
                     "lyrics KEY|--file FILE [--lrc]",
                     RunLyrics,
                     "print the words of a title or a karaoke file, line by line",
                     {{"--file FILE", "a MIDI or karaoke file rather than a title"},
                      {"--lrc", "as an LRC file, each line with its [mm:ss.xx] time"}}});

} // namespace

} // namespace tunquil::ctl
