#pragma once
// The play program: the queue of titles that the jukebox plays one after another, its
// transport operations, and how one title goes from the database to the sequencer. It runs
// the same under the main window and under tunquilctl; everything that reaches the user goes
// through IHost, and the owner calls Tick() while the host's position timer runs.

#include "app/LyricsDisplay.h"
#include "app/NowPlaying.h"
#include "app/PlayServices.h"
#include "app/TransportState.h"
#include "base/Host.h"
#include "database/DatabaseObserver.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tunquil {

// XG, GM2 and MT-32 came later, each a system-exclusive message followed by the reset wait.
enum class ResetChoice { GMThenGS, GSThenGM, GMOnly, GSOnly, None, XGOnly, GM2Only, MT32Only };

// The reset choice from the "Setup" booleans GMGSReset, GSGMReset, GMReset and GSReset, then
// XGReset, GM2Reset and MT32Reset. They fill one group of menu items in that order, each
// checked item unchecking the others, so the last one set wins; none set is "&None".
ResetChoice ResetChoiceFromSettings(bool gmgs, bool gsgm, bool gm, bool gs, bool xg = false,
                                    bool gm2 = false, bool mt32 = false);

// The master key a program entry names; 0 for an entry that is not a number.
int ProgramEntryKey(const std::string& entry);

enum class SelectionSource { None, CategoryGrid, AlbumList };

enum class StepDirection { Forward, Backward };

// The waits of the play program. The defaults are the program's; tests shorten them.
struct PlayTiming {
    std::chrono::milliseconds afterStep{200};
    std::chrono::milliseconds afterStop{300};
    // A wait for the player to reach a mode gives up after this long, so a device that never
    // gets there cannot hang the program.
    std::chrono::milliseconds waitLimit{5000};
    // Pause between polls inside a wait, so a wait does not spin the processor.
    std::chrono::milliseconds waitPoll{5};
};

// The position track bar, in whole seconds.
struct TrackBarState {
    int min = 0;
    int max = 10;
    int position = 0;
    int selectionEnd = 0;
    int pageSize = 10;
};

// Listens to the database so that a title deleted by any path also leaves the program: a
// master key can be given again later, and an old entry would then play another title.
class PlayProgram : public IDatabaseObserver {
public:
    PlayProgram(IHost& host, IPlayer& player, ITitleStore& store, PlayTools tools,
                std::filesystem::path programDirectory);

    // --- settings and wiring
    void SetAutoLooping(bool on) { autoLooping_ = on; }
    bool AutoLooping() const { return autoLooping_; }
    void SetResetChoice(ResetChoice choice) { resetChoice_ = choice; }
    ResetChoice GetResetChoice() const { return resetChoice_; }
    // The bytes of the two reset tunes; an empty one silences that reset.
    void SetResetData(std::string gm, std::string gs);
    // How long the XG, GM2 and MT-32 resets wait after their message before the tune starts:
    // the time a synthesizer needs to come back from a reset before it takes notes.
    void SetResetWait(int ms) { resetWaitMs_ = std::clamp(ms, 0, kLongestResetWaitMs); }
    int ResetWait() const { return resetWaitMs_; }
    static constexpr int kDefaultResetWaitMs = 60;
    static constexpr int kLongestResetWaitMs = 5000;
    void SetTiming(const PlayTiming& timing) { timing_ = timing; }
    // Set when shut-down begins: every wait ends and step empties the program.
    void SetShuttingDown(bool on) { shuttingDown_ = on; }
    bool ShuttingDown() const { return shuttingDown_; }
    void SetStartupComplete(bool on) { startupComplete_ = on; }
    // Called after every change of the program, the index or the player (the program dialog
    // refreshes itself from it).
    std::function<void()> onChanged;
    // Called on every tick while a title plays with its position in thousandths of its length
    // (the plug-in's "TQ_TrackBar_Perc").
    std::function<void(int)> onPositionPerMille;

    // --- the program
    int AddAtTop(const std::vector<std::string>& keys);
    int AddAtBottom(const std::vector<std::string>& keys);
    void SetSelection(std::vector<std::string> keys, SelectionSource source);
    void SetSelectionKeys(const std::vector<int32_t>& keys, SelectionSource source);
    const std::vector<std::string>& Selection() const { return selection_; }
    void PlayTop();
    void PlayBottom();
    void PlayReplace();
    // The PLAY pop-up as it opens. `fromMenu`: opened by a Play menu item, which hides the
    // items after "&Cancel". When the menu is not to be shown, PLAY: Top runs at once.
    struct PlayPopupLayout {
        std::string firstCaption;
        bool bottomAndReplace = false;
        bool show = false;
    };
    PlayPopupLayout PlayPopup(bool fromMenu) const;

    void Step(StepDirection direction);
    bool PlayFromMasterKey(int key);
    bool PlayMIDI(const std::filesystem::path& file);

    // Takes every entry of `key` out of the program, keeping the current index on the same
    // entry. Every path that deletes a title from the database calls it.
    void RemoveTitle(int key);
    // The program dialog's row operations, by entry position. A position outside the program
    // (the header row, a row left over from an older listing) does nothing; false then.
    // PlayEntryAt plays that entry. RemoveEntryAt takes out that one entry (the same title may
    // stand twice); removing the playing entry plays its follower, and removing the playing
    // last entry goes on as at the end of the program.
    bool PlayEntryAt(int index);
    bool RemoveEntryAt(int index);
    void TitlesDeleted(const std::vector<TitleRecord>& records) override;
    // Edited information of the title now playing shows at once.
    void TitleChanged(const TitleRecord& before, const TitleRecord& after, bool resort) override;

    // The program kept for the next start: its titles' keys, a line each, in "Program.lst" of
    // the program directory (written whole or not at all). Restoring takes the keys `lookup`
    // finds into an empty program and shows it stopped at its first title, as after Stop,
    // without opening the player: Play, Stop and Ctrl+Space start that title, Next the one
    // after it.
    void SaveEntries() const;
    void RestoreSavedEntries(const std::function<bool(int key, TitleRecord& record)>& lookup);

    // --- the toolbar actions
    void Next();
    void Previous();
    void Restart();
    void PauseOrResume();
    void Stop();
    void StopAndClear();
    void Clear();
    void Shuffle();
    // The shuffle itself: the title that was first never stays first.
    static void ShuffleEntries(std::vector<std::string>& entries, std::mt19937& random);

    // --- the position track bar
    void TrackBarChanged(int position);
    void TrackBarPressed();
    void TrackBarReleased();
    // "TQ_TrackBar_SetPos" from the plug-in: a position in thousandths of the length.
    void SetPositionPerMille(long long perMille);
    // Plays on from `ms` into the title (kept within it) while one plays; otherwise nothing.
    // A request from outside the window: a failure is not shown.
    void SeekTo(long long ms);

    // --- tempo and key
    // The speed in percent of the title's own tempo (kept within 25 to 400) and the
    // transposition in semitones (kept within -12 to +12), heard at once. The next title starts
    // at 100 % and 0 again unless they are pinned. The times shown follow the speed; the track
    // bar and positions stay in the title's own time, so a seek lands on the same music.
    void SetTempoPercent(int percent);
    void SetTranspose(int semitones);
    void SetTempoPinned(bool on) { tempoPinned_ = on; }
    int TempoPercent() const { return tempoPercent_; }
    int Transpose() const { return transpose_; }
    bool TempoPinned() const { return tempoPinned_; }
    // The title's own milliseconds as heard at the present speed, in whole seconds.
    int HeardSeconds(long long tuneMs) const;

    // --- the position timer
    void Tick();
    bool TimerRunning() const { return timerRunning_; }

    void UpdateTransportControls();

    // --- state, for the views and the tests
    const std::vector<std::string>& Entries() const { return program_; }
    int CurrentIndex() const { return currentIndex_; }
    void SetCurrentIndex(int index) { currentIndex_ = index; }
    int CurrentKey() const { return currentKey_; }
    bool Active() const { return active_; }
    bool UserStopped() const { return userStopped_; }
    bool ClearedByStop() const { return clearedByStop_; }
    bool Starting() const { return starting_; }
    bool Dragging() const { return dragging_; }
    // True from the moment a program without auto looping has wrapped to its first title (and
    // paused it there), until the next step.
    bool ProgramEnded() const { return programEnded_; }
    const std::string& CategoryText() const { return category_; }
    const std::string& ArtistText() const { return artist_; }
    const std::string& TitleText() const { return title_; }
    const std::string& ProgramMessage() const { return message_; }
    const TransportState& Transport() const { return transport_; }
    const TrackBarState& TrackBar() const { return trackBar_; }
    NowPlaying& Panel() { return panel_; }
    std::filesystem::path InternalPlayFile() const { return programDirectory_ / "AInternal.MID"; }

    // The player's mode; a device that cannot tell it counts as failing (kModeError).
    int SafeMode();
    // The mode the views show: a restored program's title, not yet in the player, is
    // "stopped" rather than idle.
    int ShownMode();

    // The words of the tune last put in the player, and what the lyrics pane shows of them at
    // the player's position now. The pane asks far more often than Tick runs, so that a
    // syllable lights up when it is sung rather than up to a tick later.
    const Lyrics& PlayingLyrics() const { return lyrics_; }
    LyricsDisplay LyricsNow();

private:
    // Processes events until `done` holds, shut-down begins, the player is idle or failing,
    // or the time limit passes.
    void WaitForMode(const std::function<bool(int)>& done);
    void SleepFor(std::chrono::milliseconds ms);
    void StartTimer();
    void StopTimer();
    void Changed();
    void ShowError(const std::string& text);
    void ShowPlayProblem(const std::exception& e);
    void Navigate(StepDirection direction);
    void ShowNoProgram();
    // Removes the entries of `key`, moving the current index back past each removed entry at
    // or before it, so that a step forward reaches the follower of a removed current entry.
    void RemoveEntries(int key);
    void PlayResets();
    bool PlayOneReset(const std::filesystem::path& file);
    void PauseOrResumeOnce();
    // Play of the current title from its start, after Stop or after a restart; false when
    // there is none to play.
    bool PlayStopped(int mode);
    // Whether the current title is a restored program's, not yet put in the player.
    bool Cued();
    void ApplyTempoAndKey();
    // PlayMIDI's work, telling apart a play file that could not be put in place (the
    // program's own trouble) and a sound device that cannot play at all from a tune the player
    // refused.
    enum class PlayStart { Started, NotStaged, DeviceFailed, Failed };
    // `karaokeName`: the tune came from a ".kar" file under another name.
    PlayStart StartPlay(const std::filesystem::path& file, bool karaokeName = false);
    // The device cannot play: the program stops, keeping its entries, and the user is told
    // the device's message.
    void DeviceUnavailable(const std::string& deviceMessage);

    IHost& host_;
    IPlayer& player_;
    ITitleStore& store_;
    PlayTools tools_;
    std::filesystem::path programDirectory_;
    PlayTiming timing_;

    std::vector<std::string> program_;
    int currentIndex_ = -1;
    int currentKey_ = 0;
    bool active_ = false;
    bool userStopped_ = false;
    bool clearedByStop_ = false;
    bool starting_ = false;
    bool dragging_ = false;
    bool navigating_ = false;
    bool shuttingDown_ = false;
    bool startupComplete_ = true;
    bool timerRunning_ = false;
    bool programEnded_ = false;
    bool startPaused_ = false; // the title about to start is loaded paused at its start

    std::string category_ = "None", artist_ = "None", title_ = "None";
    std::string message_ = "No program";
    int shownKey_ = 0;    // the title whose texts are shown
    int cuedSeconds_ = 0; // the stored length of a restored program's first title

    std::vector<std::string> selection_;
    SelectionSource selectionSource_ = SelectionSource::None;

    bool autoLooping_ = true;
    int tempoPercent_ = 100;
    int transpose_ = 0;
    bool tempoPinned_ = false;
    ResetChoice resetChoice_ = ResetChoice::None;
    std::string gmReset_, gsReset_;
    int resetWaitMs_ = kDefaultResetWaitMs;

    Lyrics lyrics_;
    TrackBarState trackBar_;
    TransportState transport_;
    NowPlaying panel_;
    std::mt19937 random_;
};

} // namespace tunquil
