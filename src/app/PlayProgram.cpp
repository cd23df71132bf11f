#include "app/PlayProgram.h"

#include "base/Files.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "midi/MidiProbe.h"
#include "midi/ResetTunes.h"

#include <algorithm>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace tunquil {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The master key an entry names; 0 (no title) for an entry that is not a number.
int EntryKey(const std::string& entry) {
    std::string t = Trim(entry);
    if (t.empty() || t.size() > 10)
        return 0;
    long long v = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            return 0;
        v = v * 10 + (c - '0');
    }
    return v > 0x7FFFFFFF ? 0 : static_cast<int>(v);
}

// A reset that cannot be written is left out (the file is removed); the title still plays.
void WriteResetFile(const fs::path& path, const std::string& bytes) {
    try {
        int fd = CreateFreshFile(path);
        try {
            WriteAll(fd, bytes.data(), bytes.size(), path);
        } catch (const FileError&) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    } catch (const FileError&) {
        ::unlink(path.c_str());
    }
}

// Sets a flag for a scope and clears it however the scope is left.
class FlagScope {
public:
    explicit FlagScope(bool& flag, bool value = true) : flag_(flag) { flag_ = value; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

ResetChoice ResetChoiceFromSettings(bool gmgs, bool gsgm, bool gm, bool gs, bool xg, bool gm2,
                                    bool mt32) {
    ResetChoice choice = ResetChoice::None;
    if (gmgs)
        choice = ResetChoice::GMThenGS;
    if (gsgm)
        choice = ResetChoice::GSThenGM;
    if (gm)
        choice = ResetChoice::GMOnly;
    if (gs)
        choice = ResetChoice::GSOnly;
    if (xg)
        choice = ResetChoice::XGOnly;
    if (gm2)
        choice = ResetChoice::GM2Only;
    if (mt32)
        choice = ResetChoice::MT32Only;
    return choice;
}

PlayProgram::PlayProgram(IHost& host, IPlayer& player, ITitleStore& store, PlayTools tools,
                         fs::path programDirectory)
    : host_(host), player_(player), store_(store), tools_(std::move(tools)),
      programDirectory_(std::move(programDirectory)), transport_(InitialTransportState()),
      random_(static_cast<std::mt19937::result_type>(
          std::chrono::system_clock::now().time_since_epoch().count())) {
    panel_.Show(category_, artist_, title_, message_, 0, 0, 0, 0);
}

int ProgramEntryKey(const std::string& entry) {
    return EntryKey(entry);
}

void PlayProgram::SetResetData(std::string gm, std::string gs) {
    gmReset_ = std::move(gm);
    gsReset_ = std::move(gs);
}

// ---------------------------------------------------------------- helpers

LyricsDisplay PlayProgram::LyricsNow() {
    int mode = SafeMode();
    int position = 0;
    bool playing = PlayingLike(mode) && !starting_;
    if (playing) {
        try {
            position = player_.Position();
        } catch (const std::exception&) {
            playing = false; // asked again in a moment
        }
    }
    return DisplayLyrics(lyrics_, playing, position);
}

int PlayProgram::SafeMode() {
    try {
        return player_.Mode();
    } catch (const std::exception&) {
        // A device that cannot tell its mode counts as failing; every caller handles mode 6.
        return kModeError;
    }
}

bool PlayProgram::Cued() {
    // Only a restored program is active and stopped by the user with nothing in the player:
    // Stop with an empty program, a failing device and a failed step all leave it inactive.
    return active_ && userStopped_ && !program_.empty() && SafeMode() == kModeIdle;
}

int PlayProgram::ShownMode() {
    return Cued() ? kModeStopped : SafeMode();
}

void PlayProgram::WaitForMode(const std::function<bool(int)>& done) {
    const auto deadline = Clock::now() + timing_.waitLimit;
    while (!shuttingDown_) {
        int mode = SafeMode();
        if (done(mode) || mode == kModeIdle || mode == kModeError || Clock::now() >= deadline)
            break;
        host_.ProcessEvents();
        SleepFor(timing_.waitPoll);
    }
}

void PlayProgram::SleepFor(std::chrono::milliseconds ms) {
    if (ms.count() > 0)
        std::this_thread::sleep_for(ms);
}

void PlayProgram::StartTimer() {
    if (timerRunning_)
        return;
    timerRunning_ = true;
    host_.PositionTimer(true);
}

void PlayProgram::StopTimer() {
    if (!timerRunning_)
        return;
    timerRunning_ = false;
    host_.PositionTimer(false);
}

void PlayProgram::Changed() {
    if (onChanged)
        onChanged();
}

void PlayProgram::ShowPlayProblem(const std::exception& e) {
    ShowError(std::string("Play problem: ") + e.what());
}

void PlayProgram::ShowError(const std::string& text) {
    host_.ShowMessage(text, TMsgDlgType::mtError, 0, mbCancel);
}

void PlayProgram::ShowNoProgram() {
    shownKey_ = 0;
    category_ = artist_ = title_ = "None";
    message_ = "No program";
}

void PlayProgram::UpdateTransportControls() {
    TransportInputs in;
    in.mode = SafeMode();
    in.active = active_;
    in.userStopped = userStopped_;
    in.clearedByStop = clearedByStop_;
    in.count = static_cast<int>(program_.size());
    in.startupComplete = startupComplete_;
    in.navigating = navigating_;
    transport_ = ComputeTransportState(in, transport_);
}

// ---------------------------------------------------------------- the program

int PlayProgram::AddAtTop(const std::vector<std::string>& keys) {
    program_.insert(program_.begin(), keys.begin(), keys.end());
    return static_cast<int>(program_.size());
}

int PlayProgram::AddAtBottom(const std::vector<std::string>& keys) {
    program_.insert(program_.end(), keys.begin(), keys.end());
    return static_cast<int>(program_.size());
}

void PlayProgram::SetSelection(std::vector<std::string> keys, SelectionSource source) {
    selection_ = std::move(keys);
    selectionSource_ = source;
}

void PlayProgram::SetSelectionKeys(const std::vector<int32_t>& keys, SelectionSource source) {
    std::vector<std::string> texts;
    texts.reserve(keys.size());
    for (int32_t key : keys)
        texts.push_back(std::to_string(key));
    SetSelection(std::move(texts), source);
}

void PlayProgram::PlayTop() {
    if (selection_.empty() || selectionSource_ == SelectionSource::None)
        return;
    {
        BusyScope busy(host_);
        try {
            AddAtTop(selection_);
            currentIndex_ = -1;
            Step(StepDirection::Forward);
        } catch (const std::exception& e) {
            ShowPlayProblem(e);
        }
    }
    selection_.clear();
    UpdateTransportControls();
}

void PlayProgram::PlayBottom() {
    if (selection_.empty() || selectionSource_ == SelectionSource::None)
        return;
    {
        BusyScope busy(host_);
        try {
            AddAtBottom(selection_);
        } catch (const std::exception& e) {
            ShowError(std::string("E Adding titles to PlayList: ") + e.what());
        }
        try {
            if (!active_) {
                currentIndex_ = -1;
                Step(StepDirection::Forward);
            }
        } catch (const std::exception& e) {
            ShowPlayProblem(e);
        }
        Changed();
    }
    UpdateTransportControls();
    selection_.clear();
}

PlayProgram::PlayPopupLayout PlayProgram::PlayPopup(bool fromMenu) const {
    PlayPopupLayout layout;
    layout.firstCaption = active_ ? "PLAY: &Top of program" : "PLAY";
    layout.bottomAndReplace = active_;
    // The first item, Bottom and Replace when offered, "&Cancel", and unless a menu item hid
    // them, the four title actions.
    int visible = 1 + (active_ ? 2 : 0) + 1 + (fromMenu ? 0 : 4);
    layout.show = visible >= 3;
    return layout;
}

void PlayProgram::PlayReplace() {
    if (selection_.empty() || selectionSource_ == SelectionSource::None)
        return;
    Clear();
    PlayTop();
}

void PlayProgram::RemoveEntries(int key) {
    for (int i = static_cast<int>(program_.size()) - 1; i >= 0; --i) {
        if (EntryKey(program_[i]) != key)
            continue;
        program_.erase(program_.begin() + i);
        if (currentIndex_ >= i)
            --currentIndex_;
    }
}

void PlayProgram::RemoveTitle(int key) {
    RemoveEntries(key);
    if (program_.empty())
        active_ = false;
    UpdateTransportControls();
    Changed();
}

bool PlayProgram::PlayEntryAt(int index) {
    if (index < 0 || index >= static_cast<int>(program_.size()))
        return false;
    BusyScope busy(host_);
    currentIndex_ = index - 1;
    Step(StepDirection::Forward);
    return true;
}

bool PlayProgram::RemoveEntryAt(int index) {
    if (index < 0 || index >= static_cast<int>(program_.size()))
        return false;
    program_.erase(program_.begin() + index);
    const int count = static_cast<int>(program_.size());
    if (index == currentIndex_ && count > 0) {
        BusyScope busy(host_);
        // One before the follower; after the last entry, the step wraps as at the program's end.
        currentIndex_ = index == count ? count - 1 : index - 1;
        Step(StepDirection::Forward);
    } else if (currentIndex_ >= index) {
        --currentIndex_;
    }
    if (program_.empty()) {
        currentIndex_ = -1;
        active_ = false;
    }
    UpdateTransportControls();
    Changed();
    return true;
}

void PlayProgram::TitlesDeleted(const std::vector<TitleRecord>& records) {
    for (const TitleRecord& record : records)
        RemoveTitle(record.masterKey);
}

void PlayProgram::TitleChanged(const TitleRecord&, const TitleRecord& after, bool) {
    if (after.masterKey == 0 || after.masterKey != shownKey_)
        return;
    title_ = Trim(after.title);
    artist_ = JoinFullName(after.firstName, after.lastName);
    category_ = Trim(after.categoryName);
}

void PlayProgram::Step(StepDirection direction) {
    host_.ProcessEvents();
    if (shuttingDown_) {
        program_.clear();
        active_ = false;
        StopTimer();
        return;
    }
    if (program_.empty())
        return;
    StopTimer();
    programEnded_ = false;

    bool endOfProgram = false;
    const bool forward = direction == StepDirection::Forward;
    auto move = [&](bool currentWasRemoved) {
        const int count = static_cast<int>(program_.size());
        if (forward) {
            // After a removal the index already sits before the follower of the removed entry.
            ++currentIndex_;
            if (currentIndex_ == count && !autoLooping_)
                endOfProgram = true;
            if (currentIndex_ >= count || currentIndex_ < 0)
                currentIndex_ = 0;
        } else {
            if (!currentWasRemoved)
                --currentIndex_;
            if (currentIndex_ < 0 || currentIndex_ >= count)
                currentIndex_ = count - 1;
        }
    };
    move(false);

    // At the end of the program the first title is loaded paused: playing it first, even for
    // a moment, would be heard (or rendered whole into a WAV file) before the pause took.
    FlagScope startPaused(startPaused_, endOfProgram);
    // One try per title of the program: a program in which every title fails comes to rest
    // instead of trying again for ever.
    int triesLeft = static_cast<int>(program_.size());
    bool played = false;
    for (;;) {
        currentKey_ = EntryKey(program_[currentIndex_]);
        active_ = true;
        const int index = currentIndex_;
        const std::size_t before = program_.size();
        if (PlayFromMasterKey(currentKey_)) {
            played = true;
            break;
        }
        if (shuttingDown_ || program_.empty() || --triesLeft <= 0)
            break;
        // The failing entry was taken out when the program shrank and the index moved back.
        const bool removed = program_.size() < before && currentIndex_ < index;
        move(removed);
    }

    if (!played && !shuttingDown_) {
        active_ = false;
        try {
            player_.Close();
        } catch (const std::exception& e) {
            ShowPlayProblem(e);
        }
        ShowNoProgram();
    }

    if (!shuttingDown_)
        StartTimer();
    SleepFor(timing_.afterStep);
    if (played && active_) {
        if (endOfProgram) {
            WaitForMode([](int m) { return m == kModePaused || m == kModeStopped; });
            programEnded_ = true;
        } else {
            WaitForMode([](int m) { return m == kModePlaying || m == kModeStopped; });
        }
    }
    UpdateTransportControls();
    Changed();
}

bool PlayProgram::PlayFromMasterKey(int key) {
    const fs::path tuneDir = programDirectory_ / "TempTune";
    const fs::path archive = tuneDir / "AAAZip.Zip";
    auto dropKey = [&] {
        RemoveEntries(key);
        if (program_.empty())
            active_ = false;
    };
    try {
        std::error_code ec;
        fs::create_directories(tuneDir, ec);
        TitleTexts texts;
        if (!store_.Extract(key, archive, texts)) {
            dropKey();
            return false;
        }
        fs::path member;
        if (!tools_.unzipOneFile(archive, tuneDir, member)) {
            fs::remove(archive, ec);
            dropKey();
            return false;
        }
        fs::remove(archive, ec);
        if (fs::exists(archive)) {
            ShowError("... But cannot delete TempZippFile " + archive.string());
            return false;
        }
        if (tools_.probe(member) == 0) {
            fs::remove(member, ec);
            dropKey();
            ShowError("Tune File Data in " + member.string() + " is NOT in VALID MIDI FORMAT");
            return false;
        }

        currentKey_ = key;
        PlayStart started = StartPlay(member, IsKaraokeFileName(texts.origin));
        if (started == PlayStart::NotStaged) {
            // The program's own play file is in the way (shown already): the title is not
            // to blame, so it is neither dropped nor offered for deletion.
            fs::remove(member, ec);
            return false;
        }
        if (started == PlayStart::DeviceFailed) {
            // Every title would fail the same way: the program stops here, and the title is
            // neither dropped nor offered for deletion.
            fs::remove(member, ec);
            return true;
        }
        if (started == PlayStart::Started) {
            title_ = Trim(texts.title);
            artist_ = JoinFullName(texts.firstName, texts.lastName);
            category_ = Trim(texts.categoryName);
            shownKey_ = key;
            userStopped_ = false;
            return true;
        }

        fs::remove(member, ec);
        RemoveEntries(key);
        active_ = !program_.empty();
        host_.Beep();
        if (host_.ShowMessage("File may be corrupted: Delete from database?",
                              TMsgDlgType::mtWarning, 0, mbYes | mbNo) == TModalResult::mrYes)
            store_.DeleteTitle(key);
        return false;
    } catch (const std::exception& e) {
        ShowPlayProblem(e);
        if (!userStopped_)
            Stop();
        return false;
    }
}

bool PlayProgram::PlayOneReset(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec) || tools_.probe(file) != 1)
        return false;
    try {
        player_.SetMidiFile(file.string());
        player_.Open();
        player_.Play();
        WaitForMode([](int m) { return m != kModePlaying && m != kModeSeeking; });
        player_.Stop();
        player_.Close();
        return true;
    } catch (const std::exception&) {
        // A reset that fails only costs the reset: the title plays without it.
        try {
            player_.Close();
        } catch (const std::exception&) {
        }
        return false;
    }
}

void PlayProgram::PlayResets() {
    const fs::path trash = TrashDirectory(programDirectory_);
    const fs::path gm = trash / "M.dat";
    const fs::path gs = trash / "S.dat";
    std::error_code ec;
    fs::create_directories(trash, ec);
    if (!gmReset_.empty())
        WriteResetFile(gm, gmReset_);
    if (!gsReset_.empty())
        WriteResetFile(gs, gsReset_);

    fs::path first, second;
    switch (resetChoice_) {
    case ResetChoice::GMThenGS:
        first = gm;
        second = gs;
        break;
    case ResetChoice::GSThenGM:
        first = gs;
        second = gm;
        break;
    case ResetChoice::GMOnly:
        first = gm;
        second = gm;
        break;
    case ResetChoice::GSOnly:
        second = gs;
        break;
    case ResetChoice::XGOnly:
    case ResetChoice::GM2Only:
    case ResetChoice::MT32Only: {
        const char* name = resetChoice_ == ResetChoice::XGOnly    ? "XG"
                           : resetChoice_ == ResetChoice::GM2Only ? "GM2"
                                                                  : "MT32";
        second = trash / "R.dat";
        WriteResetFile(second, MakeResetTune(ResetMessageBytes(name), resetWaitMs_));
        break;
    }
    case ResetChoice::None:
        break;
    }
    if (!first.empty())
        PlayOneReset(first);
    if (!second.empty())
        PlayOneReset(second);
    fs::remove(gm, ec);
    fs::remove(gs, ec);
    fs::remove(trash / "R.dat", ec);
}

bool PlayProgram::PlayMIDI(const fs::path& file) {
    // A device failure is not the file's: the caller must not try it as a bad file.
    PlayStart started = StartPlay(file);
    return started == PlayStart::Started || started == PlayStart::DeviceFailed;
}

void PlayProgram::DeviceUnavailable(const std::string& deviceMessage) {
    panel_.ShowTemporary("MIDI device unavailable");
    host_.ShowDeviceUnavailable(deviceMessage);
    active_ = false;
}

PlayProgram::PlayStart PlayProgram::StartPlay(const fs::path& file, bool karaokeName) {
    const fs::path internal = InternalPlayFile();
    FlagScope starting(starting_);
    player_.Close();
    lyrics_ = {};

    if (resetChoice_ != ResetChoice::None)
        PlayResets();

    std::error_code ec;
    host_.ProcessEvents();
    if (fs::exists(internal, ec)) {
        for (int attempt = 0; attempt < 4 && fs::exists(internal, ec); ++attempt) {
            host_.ProcessEvents();
            if (shuttingDown_)
                break;
            fs::remove(internal, ec);
        }
        if (fs::exists(internal, ec)) {
            ShowError("Could not delete InternalMIDIFile " + internal.string());
            return PlayStart::NotStaged;
        }
    }
    host_.ProcessEvents();
    fs::remove(internal, ec);
    fs::rename(file, internal, ec);
    if (ec) {
        ShowError("Could not rename " + file.string() + " to " + internal.string());
        return PlayStart::NotStaged;
    }
    try {
        std::string bytes = ReadInputFile(internal, kLargestTuneFile);
        lyrics_ = Lyrics::FromMidi(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
            karaokeName || IsKaraokeFileName(file));
    } catch (const std::exception&) {
        // Words that cannot be read cost only the words: the player tells about the file.
    }

    try {
        player_.SetMidiFile(internal.string());
    } catch (const std::exception&) {
        ShowError("Error assigning " + internal.string() +
                  " to mymidi1.Filename: " + player_.LastError());
    }
    try {
        player_.Open();
    } catch (const EDeviceUnavailable& e) {
        player_.Close();
        DeviceUnavailable(e.what());
        return PlayStart::DeviceFailed;
    } catch (const std::exception& e) {
        player_.Close();
        ShowError(e.what());
        return PlayStart::Failed;
    }

    if (!tempoPinned_) {
        tempoPercent_ = 100;
        transpose_ = 0;
    }
    ApplyTempoAndKey();

    bool playing = false;
    bool deviceFailed = false;
    std::string deviceMessage;
    try {
        if (startPaused_) {
            player_.Pause();
            playing = true;
        } else {
            playing = player_.Play();
        }
    } catch (const EDeviceUnavailable& e) {
        deviceFailed = true;
        deviceMessage = e.what();
    } catch (const std::exception&) {
        // The tune's failure; the caller blames the title.
    }
    clearedByStop_ = false;
    if (!playing) {
        try {
            player_.Stop();
        } catch (const std::exception&) {
            // Stopping is only tidying up here; the failure itself is handled below.
        }
        if (deviceFailed) {
            player_.Close();
            DeviceUnavailable(deviceMessage);
            return PlayStart::DeviceFailed;
        }
        return PlayStart::Failed;
    }

    int lengthMs = 0;
    bool lengthKnown = true;
    try {
        lengthMs = player_.Length();
    } catch (const std::exception&) {
        lengthKnown = false;
    }
    trackBar_.min = 0;
    trackBar_.max = lengthKnown ? lengthMs / 1000 : 4000;
    trackBar_.pageSize = 10;
    // A failed length query answers 0, which would overwrite a good duration with "?".
    if (lengthKnown && lengthMs / 1000 > 0) {
        try {
            store_.SetDuration(lengthMs / 1000, currentKey_);
        } catch (const std::exception&) {
            ShowError("Problem in SetTuneTimeFMK");
        }
    }
    return PlayStart::Started;
}

// ---------------------------------------------------------------- toolbar actions

void PlayProgram::Next() {
    Navigate(StepDirection::Forward);
}

void PlayProgram::Previous() {
    Navigate(StepDirection::Backward);
}

void PlayProgram::Navigate(StepDirection direction) {
    navigating_ = true;
    {
        BusyScope busy(host_);
        try {
            Step(direction);
        } catch (const std::exception& e) {
            ShowPlayProblem(e);
        }
    }
    navigating_ = false;
    UpdateTransportControls();
}

void PlayProgram::Restart() {
    // The timer starts once the title plays; a step starts it itself when it is done, so
    // that no tick can step again while it waits.
    if (Cued())
        PlayStopped(kModeIdle);
    else if (active_ && SafeMode() != kModeIdle && PlayFromMasterKey(currentKey_))
        StartTimer();
    UpdateTransportControls();
    WaitForMode([](int m) { return m == kModePlaying || m == kModeStopped; });
    Changed();
}

void PlayProgram::PauseOrResumeOnce() {
    try {
        int mode = SafeMode();
        if (mode == kModePlaying)
            player_.Pause();
        else if (mode == kModePaused)
            player_.Resume();
        else if (userStopped_ && (mode == kModeStopped || mode == kModeIdle))
            PlayStopped(mode); // what the key does after Stop: play on from the start
    } catch (const std::exception& e) {
        ShowPlayProblem(e);
    }
}

void PlayProgram::PauseOrResume() {
    PauseOrResumeOnce();
    UpdateTransportControls();
    WaitForMode([](int m) { return m == kModePaused || m == kModePlaying; });
    UpdateTransportControls();
    Changed();
}

void PlayProgram::Stop() {
    {
        BusyScope busy(host_);
        try {
            int mode = SafeMode();
            if (mode == kModePlaying || mode == kModePaused) {
                // Rest at the start, so that play restarts from there. Seeking gets there
                // without a sound and without the waits of repositioning a playing tune.
                player_.Stop();
                player_.Seek(0);
                SleepFor(timing_.afterStop);
                userStopped_ = true;
                if (program_.empty()) {
                    active_ = false;
                    ShowNoProgram();
                    player_.Close();
                }
            } else {
                PlayStopped(mode);
            }
        } catch (const std::exception& e) {
            ShowPlayProblem(e);
        }
        UpdateTransportControls();
    }
    WaitForMode([](int m) { return m == kModeStopped || m == kModePlaying; });
    UpdateTransportControls();
    Changed();
}

bool PlayProgram::PlayStopped(int mode) {
    const bool cued = mode == kModeIdle && Cued();
    userStopped_ = false;
    if (cued)
        return PlayEntryAt(std::max(currentIndex_, 0)); // the player gets the title now
    if (mode == kModeIdle)
        return false;
    player_.Play(); // from the start
    return true;
}

void PlayProgram::StopAndClear() {
    if (host_.ShowMessage("Are you sure you want stop play and erase your music program?",
                          TMsgDlgType::mtConfirmation, 0, mbYes | mbNo) == TModalResult::mrNo)
        return;
    host_.ProcessEvents();
    Clear();
    active_ = false;
    try {
        player_.Close();
    } catch (const std::exception& e) {
        ShowPlayProblem(e);
    }
    userStopped_ = true;
    clearedByStop_ = true;
    ShowNoProgram();
    UpdateTransportControls();
    Changed();
}

void PlayProgram::SaveEntries() const {
    std::string lines;
    for (const std::string& entry : program_)
        if (int key = EntryKey(entry); key > 0)
            lines += std::to_string(key) + "\n";
    WriteFileAtomically(programDirectory_ / "Program.lst", lines);
}

void PlayProgram::RestoreSavedEntries(
    const std::function<bool(int key, TitleRecord& record)>& lookup) {
    if (active_ || !program_.empty())
        return;
    std::string lines;
    try {
        lines = ReadWholeFile(programDirectory_ / "Program.lst");
    } catch (const std::exception&) {
        return; // no program kept: the program starts empty
    }
    std::istringstream in(lines);
    std::string line;
    TitleRecord first;
    while (std::getline(in, line)) {
        TitleRecord record;
        if (int key = EntryKey(line); key > 0 && lookup(key, record)) {
            if (program_.empty())
                first = record;
            program_.push_back(std::to_string(key));
        }
    }
    currentIndex_ = -1;
    if (!program_.empty()) {
        // As after Stop at the first title; the title goes into the player when it is played,
        // so a start neither opens the device nor plays the reset tunes.
        currentIndex_ = 0;
        currentKey_ = shownKey_ = EntryKey(program_.front());
        active_ = true;
        userStopped_ = true;
        title_ = Trim(first.title);
        artist_ = JoinFullName(first.firstName, first.lastName);
        category_ = Trim(first.categoryName);
        message_.clear();
        cuedSeconds_ = std::max(0, int(first.duration));
        trackBar_ = {};
        trackBar_.max = cuedSeconds_;
        panel_.Show(category_, artist_, title_, message_, 1, static_cast<int>(program_.size()), 0,
                    HeardSeconds(cuedSeconds_ * 1000LL));
        panel_.PollState(kModeStopped, false);
        // As after Stop, the panel follows the program from here (its count, a title deleted).
        StartTimer();
    }
    UpdateTransportControls();
    Changed();
}

void PlayProgram::Clear() {
    program_.clear();
    active_ = false;
    UpdateTransportControls();
    Changed();
}

void PlayProgram::ShuffleEntries(std::vector<std::string>& entries, std::mt19937& random) {
    if (entries.empty())
        return;
    const int first = EntryKey(entries[0]);
    std::vector<std::string> source(entries.rbegin(), entries.rend());
    std::vector<std::string> result;
    result.reserve(entries.size());
    while (source.size() > 1) {
        std::uniform_int_distribution<std::size_t> pick(0, source.size() - 1);
        std::size_t r = pick(random);
        result.push_back(std::move(source[r]));
        source.erase(source.begin() + static_cast<std::ptrdiff_t>(r));
    }
    result.push_back(std::move(source.front()));
    if (result.size() > 1 && EntryKey(result[0]) == first)
        std::swap(result[0], result[1]);
    entries = std::move(result);
}

void PlayProgram::Shuffle() {
    if (!active_)
        return;
    ShuffleEntries(program_, random_);
    currentIndex_ = -1;
    {
        BusyScope busy(host_);
        try {
            Step(StepDirection::Forward);
        } catch (const std::exception& e) {
            ShowPlayProblem(e);
        }
    }
    UpdateTransportControls();
}

// ---------------------------------------------------------------- track bar

void PlayProgram::TrackBarChanged(int position) {
    int mode = SafeMode();
    if (mode != kModePlaying && mode != kModePaused) {
        trackBar_.position = 0;
        return;
    }
    trackBar_.position =
        std::clamp(position, trackBar_.min, std::max(trackBar_.min, trackBar_.max));
    trackBar_.selectionEnd = trackBar_.position;
    dragging_ = true;
}

void PlayProgram::TrackBarPressed() {
    if (SafeMode() == kModePaused)
        PauseOrResume();
}

void PlayProgram::TrackBarReleased() {
    BusyScope busy(host_);
    try {
        if (dragging_ && SafeMode() == kModePlaying)
            player_.PlayFrom(trackBar_.position * 1000);
    } catch (const std::exception& e) {
        ShowPlayProblem(e);
    }
    dragging_ = false;
}

void PlayProgram::SetPositionPerMille(long long perMille) {
    // The value comes from another process: keep it within the title.
    perMille = std::clamp(perMille, 0LL, 1000LL);
    try {
        if (SafeMode() != kModePlaying)
            return;
        SeekTo(perMille * std::max(0LL, static_cast<long long>(player_.Length())) / 1000);
    } catch (const std::exception&) {
        // Another process's request: a failure here is not the user's to see.
    }
}

void PlayProgram::SeekTo(long long ms) {
    try {
        if (SafeMode() != kModePlaying)
            return;
        long long length = std::max(0LL, static_cast<long long>(player_.Length()));
        player_.PlayFrom(static_cast<int>(std::clamp(ms, 0LL, length)));
    } catch (const std::exception&) {
    }
}

// ---------------------------------------------------------------- tempo and key

void PlayProgram::ApplyTempoAndKey() {
    try {
        player_.SetTempo(tempoPercent_ / 100.0);
        player_.SetTranspose(transpose_);
    } catch (const std::exception&) {
        // Both are kept within what every device takes; the title plays on regardless.
    }
}

void PlayProgram::SetTempoPercent(int percent) {
    tempoPercent_ = std::clamp(percent, 25, 400);
    ApplyTempoAndKey();
    Changed();
}

void PlayProgram::SetTranspose(int semitones) {
    transpose_ = std::clamp(semitones, -12, 12);
    ApplyTempoAndKey();
    Changed();
}

int PlayProgram::HeardSeconds(long long tuneMs) const {
    return static_cast<int>(tuneMs * 100 / tempoPercent_ / 1000);
}

// ---------------------------------------------------------------- position timer

void PlayProgram::Tick() {
    int mode = kModeError;
    int elapsed = 0, total = 0;
    try {
        mode = SafeMode();
        int length = 0, position = 0, remaining = 0;
        try {
            length = player_.Length();
            position = player_.Position();
            remaining = length - position;
        } catch (const std::exception&) {
            remaining = 0;
        }
        if (!PlayingLike(mode) || remaining == 0) {
            if (!active_ || starting_ || userStopped_) {
                trackBar_.position = 0;
                trackBar_.selectionEnd = 0;
                // A stopped title keeps showing its length, as the player still holds it.
                if (active_ && userStopped_)
                    total = mode == kModeIdle && Cued() ? HeardSeconds(cuedSeconds_ * 1000LL)
                                                        : HeardSeconds(length);
            } else {
                StopTimer();
                Step(StepDirection::Forward);
                StartTimer();
                mode = SafeMode();
                if (PlayingLike(mode)) {
                    elapsed = HeardSeconds(player_.Position());
                    total = HeardSeconds(player_.Length());
                }
            }
        } else {
            elapsed = HeardSeconds(position);
            total = HeardSeconds(length);
            if (!dragging_) {
                trackBar_.position = position / 1000;
                trackBar_.selectionEnd = trackBar_.position;
                int perMille = trackBar_.max < 1
                                   ? 0
                                   : static_cast<int>(static_cast<long long>(trackBar_.position) *
                                                      1000 / trackBar_.max);
                if (onPositionPerMille)
                    onPositionPerMille(perMille);
            } else {
                elapsed = HeardSeconds(trackBar_.position * 1000LL);
            }
        }

        if (!program_.empty())
            message_.clear();
        else if (mode == kModePlaying || mode == kModePaused)
            message_ = "Ending play with this title";
        else {
            ShowNoProgram();
            UpdateTransportControls();
        }
    } catch (const std::exception&) {
        // The tick runs ten times a second; a failure shows up again in the next one.
    }
    panel_.Show(category_, artist_, title_, message_, currentIndex_ + 1,
                static_cast<int>(program_.size()), elapsed, total);
    panel_.PollState(mode == kModeIdle && Cued() ? kModeStopped : mode, false);
}

} // namespace tunquil
