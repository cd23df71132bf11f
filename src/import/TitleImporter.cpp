#include "import/TitleImporter.h"

#include "base/Files.h"
#include "base/Text.h"
#include "database/StoredDate.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "database/TitleRecord.h"
#include "export/archive/StoredTune.h"
#include "export/archive/TAbUnZipper.h"
#include "export/archive/TAbZipper.h"
#include "midi/Lyrics.h"
#include "midi/MidiProbe.h"
#include "midi/TuneTime.h"
#include "platform/MidiSequence.h"

#include <cerrno>
#include <set>
#include <sys/stat.h>

namespace tunquil {

namespace {
constexpr const char* kCrLf = "\r\n";

// The title is in the database, but a power cut may yet take it: no "OK".
std::string NotOnDisk(const std::exception& e) {
    return std::string("Added, but not saved to disk: ") + e.what();
}

// The title says no more than the name of the file it came from (as a load, a drop, a scan,
// an archive's member or the desktop's open names a title).
bool TitleIsFileName(const std::string& title, const fs::path& path, const std::string& origin) {
    const std::string cleaned = TitleImporter::CleanTitle(title);
    for (const fs::path& file : {path, fs::path(origin)})
        for (const fs::path& name : {file.filename(), file.stem()})
            if (!name.empty() && TitleImporter::CleanTitle(name.string()) == cleaned)
                return true;
    return false;
}

// The first "@T" header of a karaoke file: the title it names. Only files that may have one
// are read for it, so the adds of plain tunes cost nothing more.
std::string KaraokeTitle(const std::string& bytes, bool karaokeName) {
    if (!karaokeName && bytes.find("@T") == std::string::npos)
        return {};
    Lyrics lyrics = Lyrics::FromMidi(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), karaokeName);
    for (const std::string& header : lyrics.Titles())
        if (std::string title = Trim(WithoutControlCharacters(header)); !title.empty())
            return title;
    return {};
}
} // namespace

TitleImporter::TitleImporter(IHost& host, TDMM2& data, TCatList& categories,
                             fs::path programDirectory)
    : host_(host), data_(data), categories_(categories),
      programDirectory_(std::move(programDirectory)), tunes_(data.Database()) {}

void TitleImporter::SetPendingTitleSettings(const std::string& title, const std::string& origin,
                                            int32_t pk, int32_t ck) {
    if (!title.empty())
        pending_.title = title;
    if (!origin.empty())
        pending_.origin = origin;
    pending_.pk = pk;
    pending_.ck = ck;
}

std::string TitleImporter::CleanTitle(const std::string& text) {
    std::string title = Trim(text);
    std::string upper = UpperAscii(title);
    for (const char* extension : {".MID", ".RMI", ".KAR"}) {
        auto at = upper.find(extension);
        if (at != std::string::npos && title.size() >= 4 && at == title.size() - 4)
            title.resize(title.size() - 4);
    }
    for (char& c : title)
        if (c == '_')
            c = ' ';
    return title;
}

void TitleImporter::AddMidiFile(const fs::path& path, bool quiet, std::string& status,
                                bool checkDuplicates) {
    if (Stopping())
        return;
    status.clear();

    TMidiProbe probe = ProbeMidiFile(path.string());
    if (probe.kind == 0) {
        if (!quiet) {
            host_.ShowMessage(pending_.origin + " is not a valid MIDI file." + kCrLf +
                                  "It will not be added to the database",
                              TMsgDlgType::mtInformation, 0, mbOK);
            host_.ProcessEvents();
        }
        status = path.string() + " is not MIDI file, has " + std::to_string(probe.size) + " bytes";
        return;
    }
    // A file that is not there has no size; one that is there but cannot be read (a failing
    // disk, a FIFO, a folder) is told as what it is.
    if (probe.kind == -1 && !probe.problem.empty() && probe.error != ENOENT) {
        status = probe.problem;
        return;
    }
    if (probe.size < 6) {
        status = kStatusInvalidSize;
        return;
    }

    // Read once: the timing and the archive both work from these bytes. A file too large to
    // be a tune is refused from its size, before any of it is read.
    std::string bytes;
    try {
        bytes = ReadInputFile(path, kLargestTuneFile);
    } catch (const FileError& e) {
        status = e.what();
        return;
    }

    // An RMID file is stored as it is; its time is the Standard MIDI File's inside it.
    int seconds = 0;
    if (!Stopping()) {
        try {
            auto smf = platform::MidiSequence::StandardMidiFileOf(
                std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            seconds = GetTuneTime(midiData_, smf.data(), smf.size());
        } catch (...) {
            seconds = -1;
        }
    }
    if (seconds == -1) {
        if (quiet) {
            status = kStatusCorrupted;
            return;
        }
        host_.Beep();
        TModalResult answer = host_.ShowMessage(
            "\"" + pending_.title + "\" is not in the right format and may be corrupted." + kCrLf +
                kCrLf + "Add it anyway?",
            TMsgDlgType::mtError, 0, mbYes | mbNo);
        if (answer != TModalResult::mrYes) {
            status = kStatusCorrupted;
            return;
        }
    }

    std::optional<uint64_t> hash;
    if (!Stopping() && checkDuplicates) {
        hash = tunes_.HashOf(bytes);
        if (HasTitleOf(bytes, seconds, *hash)) {
            if (quiet) {
                status = kStatusDuplicate;
                return;
            }
            TModalResult answer =
                host_.ShowMessage(pending_.origin + " already exists in database. Add it anyway?",
                                  TMsgDlgType::mtConfirmation, 0, mbYes | mbNo);
            host_.ProcessEvents();
            if (answer != TModalResult::mrYes)
                return;
        }
    }

    const bool titleFromName = TitleIsFileName(pending_.title, path, pending_.origin);
    pending_.title = CleanTitle(pending_.title);
    if (titleFromName) {
        std::string header =
            KaraokeTitle(bytes, IsKaraokeFileName(path) || IsKaraokeFileName(pending_.origin));
        if (!header.empty())
            pending_.title = header;
    }
    if (Stopping())
        return;

    fs::path archive = TempZipsDirectory() / "AAATune.Zzz";
    PackBytes(std::move(bytes), archive);
    struct RemoveArchive {
        const fs::path& path;
        ~RemoveArchive() {
            std::error_code ec;
            fs::remove(path, ec);
        }
    } cleanup{archive};
    try {
        int32_t key = data_.AddTitle(archive, pending_.title, quiet, StoredDateNow(), seconds,
                                     pending_.pk, pending_.ck, pending_.origin);
        if (hash)
            tunes_.Added(key, seconds, *hash);
        unflushed_ = true;
    } catch (const std::exception& e) {
        status = std::string("Not added: ") + e.what();
        return;
    }
    if (batches_ == 0) {
        try {
            FlushAdds();
        } catch (const std::exception& e) {
            status = NotOnDisk(e);
            return;
        }
    }
    status = kStatusOk;
}

void TitleImporter::FlushAdds() {
    if (!unflushed_)
        return;
    data_.Database().Flush();
    unflushed_ = false;
}

TitleImporter::AddBatch::AddBatch(TitleImporter& importer, Deliver deliver)
    : importer_(importer), deliver_(std::move(deliver)),
      lastFlush_(std::chrono::steady_clock::now()) {
    ++importer_.batches_;
}

TitleImporter::AddBatch::~AddBatch() {
    // Whatever was added is flushed on every way out; only a caller that finished hears of a
    // flush that failed.
    try {
        Finish();
    } catch (...) {
    }
}

void TitleImporter::AddBatch::Report(std::string path, std::string status) {
    held_.emplace_back(std::move(path), std::move(status));
    // A flush costs a few milliseconds on a disk: once a second keeps a scan of thousands of
    // files as fast as without, and the counts the user watches at most a second behind.
    if (std::chrono::steady_clock::now() - lastFlush_ >= std::chrono::seconds(1))
        FlushAndDeliver();
}

void TitleImporter::AddBatch::Finish() {
    if (finished_)
        return;
    finished_ = true;
    --importer_.batches_;
    FlushAndDeliver();
}

void TitleImporter::AddBatch::FlushAndDeliver() {
    try {
        importer_.FlushAdds();
    } catch (const std::exception& e) {
        for (auto& [path, status] : held_)
            if (status == kStatusOk)
                status = NotOnDisk(e);
    }
    lastFlush_ = std::chrono::steady_clock::now();
    auto held = std::move(held_);
    held_.clear();
    if (deliver_)
        for (const auto& [path, status] : held)
            deliver_(path, status);
}

bool TitleImporter::HasTitleOf(const std::string& bytes, int seconds, uint64_t hash) {
    // Origins are stored trimmed and cut to their field, so that is the form to look for.
    std::string origin = Trim(pending_.origin);
    std::string stored = CutUtf8(origin, kOriginCapacity);
    // A text this long may be, or may match, an origin cut short: two files of one long folder
    // would then look alike, and only the tune itself tells whether it is already there. (A
    // cut keeps whole characters, so it may end up to three bytes short of the field.)
    if (stored.size() + 3 < kOriginCapacity) {
        if (!tunes_.TitlesWithOrigin(stored).empty())
            return true;
    } else {
        for (int32_t key : tunes_.TitlesWithOrigin(stored, hash))
            if (StoredTuneEquals(key, bytes))
                return true;
    }
    // The same tune reached by another path (a copy, another folder) is a duplicate too: only a
    // title of the same length can hold the same bytes, and only one whose tune hashes alike.
    if (seconds < 0)
        return false;
    for (int32_t key : tunes_.TitlesLike(seconds, hash))
        if (StoredTuneEquals(key, bytes))
            return true;
    return false;
}

bool TitleImporter::StoredTuneEquals(int32_t masterKey, std::string_view bytes) {
    std::string archive;
    if (!data_.Database().ReadStoredData(masterKey, archive))
        return false;
    try {
        TAbUnZipper unzipper;
        unzipper.OpenBytes(std::move(archive));
        return unzipper.Count() == 1 && unzipper.EntryEquals(0, bytes);
    } catch (const EZipError&) {
        return false; // a damaged stored tune is no copy of a readable file
    }
}

void TitleImporter::PackBytes(std::string bytes, const fs::path& archivePath) {
    std::error_code ec;
    fs::create_directories(archivePath.parent_path(), ec);
    fs::remove(archivePath, ec);
    TAbZipper zipper;
    zipper.Open(archivePath);
    zipper.AddBytes(std::move(bytes), kStoredTuneEntry, 0);
    zipper.Save();
}

bool TitleImporter::PackTune(const fs::path& path, const fs::path& archivePath) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    PackBytes(ReadInputFile(path, kLargestTuneFile), archivePath);
    return true;
}

void TitleImporter::ResolvePerformer(const std::string& performerName) {
    if (performerName.empty())
        return;
    std::string first, last;
    SplitArtistText(performerName, first, last);
    // The names as split, blanks and all: "Lee, Ann" is stored with the first name " Ann", and
    // a list written so must find its performer again.
    pending_.pk = data_.Performers().FindOrAdd(first, last);
}

std::string TitleImporter::ImportMusicFile(const fs::path& path, const std::string& title,
                                           const std::string& origin,
                                           const std::string& performerName,
                                           const std::string& categoryName, bool assign,
                                           bool addOption) {
    std::string result;
    pending_.title = title;
    pending_.origin = origin;
    if (assign) {
        if (!categoryName.empty()) {
            pending_.ck = categories_.AddCategory(categoryName);
            if (onCategoriesChanged)
                onCategoriesChanged();
        }
        ResolvePerformer(performerName);
    }
    std::string upper = UpperAscii(path.string());
    // The ".MID" test comes first, so a folder named like "Tunes.Midi" makes its path a MIDI
    // file even when it ends in ".zip".
    if (upper.find(".MID") != std::string::npos || upper.find(".RMI") != std::string::npos ||
        IsKaraokeFileName(path)) {
        ResolvePerformer(performerName);
        AddMidiFile(path, assign, result, addOption);
        return result;
    }
    if (upper.find(".ZIP") != std::string::npos) {
        BusyScope busy(host_);
        result = ImportArchive(path, assign, addOption);
        if (onCategoriesChanged)
            onCategoriesChanged();
    }
    return result;
}

namespace {

// Members of one archive may share a file name (the same name in two folders, or one name
// written twice). Each is staged, and named in its origin, under a name of its own: the first
// keeps its name, a repeat gets " (2)", " (3)" ... before its extension, never a name that
// another member bears anyway.
std::vector<std::string> UniqueMemberNames(const std::vector<std::string>& names) {
    const std::set<std::string> borne(names.begin(), names.end());
    std::set<std::string> given;
    std::vector<std::string> unique;
    for (const std::string& name : names) {
        if (given.insert(name).second) {
            unique.push_back(name);
            continue;
        }
        fs::path path(name);
        for (int n = 2;; ++n) {
            std::string suffix = " (" + std::to_string(n) + ")";
            std::string candidate = path.stem().string() + suffix + path.extension().string();
            if (candidate.size() > TAbUnZipper::kMaxNameBytes)
                candidate = CutUtf8(name, TAbUnZipper::kMaxNameBytes - suffix.size()) + suffix;
            if (borne.count(candidate) == 0 && given.insert(candidate).second) {
                unique.push_back(candidate);
                break;
            }
        }
    }
    return unique;
}

} // namespace

std::string TitleImporter::ImportArchive(const fs::path& archivePath, bool assign, bool addOption) {
    (void)assign; // members are always added quietly, with the archive's settings
    std::error_code ec;
    if (!fs::exists(archivePath, ec))
        return "No archive found";
    TAbUnZipper unzipper;
    try {
        unzipper.Open(archivePath);
    } catch (const EZipError&) {
        return "Error decompressing";
    }
    int count = unzipper.Count();
    // Folders and links are never unpacked, so an archive of nothing else is empty too. A
    // member whose name cannot be a file name is passed over with its reason.
    struct Member {
        int index;
        std::string name;    // its bare name, the title's text
        std::string problem; // why it cannot be unpacked
        std::string staged;  // the unique name it is unpacked under
    };
    std::vector<Member> members;
    std::vector<std::string> usable;
    for (int i = 0; i < count; ++i) {
        if (!unzipper.IsFileEntry(i))
            continue;
        members.push_back({i, unzipper.EntryName(i), unzipper.NameProblem(i), {}});
        if (members.back().problem.empty())
            usable.push_back(members.back().name);
    }
    if (members.empty())
        return "Empty archive";

    fs::path dir = ExtractionDirectory();
    fs::create_directories(dir, ec);
    // Unpacked by index, each member under a name of its own, so no member overwrites another.
    std::vector<std::string> staged = UniqueMemberNames(usable);
    std::vector<TAbUnZipper::Extraction> plan;
    for (Member& m : members)
        if (m.problem.empty()) {
            m.staged = staged[plan.size()];
            plan.push_back({m.index, dir / m.staged});
        }
    std::string caption = " Extracting " + std::to_string(count) + " files from archive ";
    host_.Progress(0, caption);
    unzipper.OnArchiveProgress = [&](int percent, bool& abort) {
        host_.ProcessEvents();
        host_.Progress(percent, caption);
        abort = Stopping() || host_.CancelRequested();
    };
    try {
        unzipper.ExtractEntries(plan);
    } catch (const std::exception&) {
        fs::remove_all(dir, ec);
        return "Error decompressing";
    }
    unzipper.Close();

    std::string result;
    AddBatch batch(*this, [&result](const std::string&, const std::string& status) {
        if (status != kStatusOk && result.empty())
            result = "OK decompressing but " + status;
    });
    std::string origin = pending_.origin;
    std::string importing = " Importing " + std::to_string(count) + " files into database ";
    bool stopped = false;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (Stopping() || host_.CancelRequested()) {
            stopped = true;
            break;
        }
        const Member& m = members[i];
        std::string status = m.problem;
        if (status.empty()) {
            fs::path full = dir / m.staged;
            pending_.title = m.name;
            pending_.origin = origin + "+" + m.staged;
            AddMidiFile(full, true, status, addOption);
            fs::remove(full, ec);
        }
        batch.Report(m.name, status);
        host_.Progress(static_cast<int>((i + 1) * 100 / members.size()), importing);
    }
    batch.Finish();
    if (!stopped) {
        pending_.origin = origin;
        // Everything the archive held goes, not only the MIDI files, so nothing piles up.
        fs::remove_all(dir, ec);
    }
    return result;
}

} // namespace tunquil
