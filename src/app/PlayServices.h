#pragma once
// What the play program needs from the rest of the system, as small interfaces: the sequencer
// player, the title store and the two archive/file helpers. The program owns none of them; the
// main window (or tunquilctl) wires the real ones in, the tests wire fakes.

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace tunquil {

// Player mode codes.
enum PlayerMode {
    kModeIdle = 0, // not ready, or no device open
    kModePaused = 1,
    kModePlaying = 2,
    kModeStopped = 3,
    kModeOpen = 4,
    kModeSeeking = 5,
    kModeError = 6,
    kModeOther = 7,
};

// Playing, seeking or paused: a title is under way.
inline bool PlayingLike(int mode) {
    return mode == kModePlaying || mode == kModeSeeking || mode == kModePaused;
}

// A failure of the sound device itself (no sound server, no SoundFont, ...), which would come
// back with any title; the text is the device's message.
class EDeviceUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The members of the sequencer player that the play program drives. Failures are exceptions
// whose text is the device's error text; a failure of the device rather than of the tune is
// an EDeviceUnavailable.
class IPlayer {
public:
    virtual ~IPlayer() = default;
    virtual void SetMidiFile(const std::string& path) = 0;
    virtual void Open() = 0;   // a failure closes the device and throws
    virtual bool Play() = 0;   // from the start; false when nothing is open
    virtual int Pause() = 0;   // keeps and returns the position
    virtual void Resume() = 0; // plays on from the kept position
    virtual void PlayFrom(int milliseconds) = 0;
    virtual void Stop() = 0;                 // throws "No MCI device open" without a device
    virtual void Seek(int milliseconds) = 0; // rests there, stopped, without a sound
    virtual void Close() = 0;                // harmless when nothing is open
    virtual int Mode() = 0;     // a PlayerMode; may throw when the device cannot answer
    virtual int Position() = 0; // milliseconds
    virtual int Length() = 0;   // milliseconds of the open tune
    // The speed (a share of the tune's own tempo) and the transposition in semitones, for what
    // plays now and what plays next. Positions and lengths stay the tune's own milliseconds.
    virtual void SetTempo(double rate) = 0;
    virtual void SetTranspose(int semitones) = 0;
    virtual std::string LastError() = 0;
};

// The texts of a title record that the now-playing display shows.
struct TitleTexts {
    std::string title;
    std::string firstName;
    std::string lastName;
    std::string categoryName;
    std::string origin; // where the tune was added from: a ".kar" name marks a karaoke file
};

class ITitleStore {
public:
    virtual ~ITitleStore() = default;
    // Writes the title's stored data (a one-member archive) to `target` and fills `texts`;
    // false when `key` is no live title or its data cannot be written.
    virtual bool Extract(int key, const std::filesystem::path& target, TitleTexts& texts) = 0;
    // Throws on failure.
    virtual void SetDuration(int seconds, int key) = 0;
    // Deletes the title from the database; the caller has already taken it out of the program.
    virtual void DeleteTitle(int key) = 0;
};

struct PlayTools {
    // Extracts the single member of a one-member archive into `directory` and gives its path;
    // shows its own messages and returns false on failure.
    std::function<bool(const std::filesystem::path& archive, const std::filesystem::path& directory,
                       std::filesystem::path& member)>
        unzipOneFile;
    // 1 "MThd", 2 "RIFF", 0 anything else, -1 unreadable.
    std::function<int(const std::filesystem::path& file)> probe;
};

} // namespace tunquil
