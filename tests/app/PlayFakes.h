#pragma once
// Fakes for the play program's tests: a scripted sequencer player, a title store over a map
// and a host that counts the play program's own hooks.

#include "app/PlayProgram.h"
#include "app/PlayServices.h"
#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tunquil::test {

class PlayHost : public ScriptedHost {
public:
    int timerStarts = 0, timerStops = 0, beeps = 0;
    std::vector<std::string> deviceNotices; // the device's message of each notice
    std::function<void()> onProcessEvents;
    void PositionTimer(bool running) override { ++(running ? timerStarts : timerStops); }
    void ShowDeviceUnavailable(const std::string& deviceMessage) override {
        deviceNotices.push_back(deviceMessage);
    }
    void Beep() override { ++beeps; }
    void ProcessEvents() override {
        ScriptedHost::ProcessEvents();
        if (onProcessEvents)
            onProcessEvents();
    }
    bool Shown(const std::string& text) const {
        for (const auto& m : messages)
            if (m.text == text)
                return true;
        return false;
    }
};

// Plays instantly: a tune is "playing" from Play until the test calls Finish(). What the
// opened file holds decides how it fails: "BADOPEN" fails to open, "NODEVICE" fails to open
// for want of a sound device, "INUSE" fails to play for a device held elsewhere, "NOPLAY" fails
// to play for a reason of the tune's (in words that speak of a device in use).
class FakePlayer : public IPlayer {
public:
    std::vector<std::string> calls;  // "Open <file name>", "Play", "Pause", ...
    std::vector<std::string> played; // contents of every file that started to play
    int lengthMs = 60000;
    bool lengthThrows = false;
    int stuckMode = -1; // >= 0: Mode() answers this while a device is open
    bool modeThrows = false;
    bool pauseIgnored = false; // Pause() leaves the mode as it is
    int pauseLag = 0;          // Mode() answers "playing" this many more times after Pause()
    double tempo = 1.0;
    int transpose = 0;

    void SetMidiFile(const std::string& path) override { file_ = path; }
    void Open() override {
        calls.push_back("Open " + std::filesystem::path(file_).filename().string());
        std::string bytes;
        try {
            bytes = ReadWholeFile(file_);
        } catch (const std::exception&) {
            throw std::runtime_error("The specified file cannot be played");
        }
        if (bytes.find("BADOPEN") != std::string::npos) {
            lastError_ = "The file is corrupt";
            throw std::runtime_error(lastError_);
        }
        if (bytes.find("NODEVICE") != std::string::npos) {
            lastError_ = "The sound server cannot be reached.";
            throw EDeviceUnavailable(lastError_);
        }
        open_ = true;
        content_ = bytes;
        mode_ = kModeStopped;
        position_ = 0;
    }
    bool Play() override {
        calls.push_back("Play");
        if (!open_)
            return false;
        if (content_.find("INUSE") != std::string::npos) {
            lastError_ = "The sequencer is held by another program.";
            throw EDeviceUnavailable(lastError_);
        }
        if (content_.find("NOPLAY") != std::string::npos) {
            lastError_ = "The device cannot use this tune's data";
            throw std::runtime_error(lastError_);
        }
        played.push_back(content_);
        // Reset tunes are over at once; titles play until the test finishes them.
        mode_ = content_.find("reset") != std::string::npos ? kModeStopped : kModePlaying;
        position_ = 0;
        return true;
    }
    int Pause() override {
        calls.push_back("Pause");
        if (!open_)
            throw std::runtime_error("No MCI device open");
        if (!pauseIgnored)
            mode_ = kModePaused;
        lagLeft_ = pauseLag;
        pausedAt_ = position_;
        return position_;
    }
    void Resume() override {
        calls.push_back("Resume");
        if (pausedAt_ >= 0)
            PlayFrom(pausedAt_);
        pausedAt_ = -1;
    }
    void SetTempo(double rate) override {
        calls.push_back("Tempo " + std::to_string(int(rate * 100 + 0.5)));
        tempo = rate;
    }
    void SetTranspose(int semitones) override {
        calls.push_back("Transpose " + std::to_string(semitones));
        transpose = semitones;
    }
    void PlayFrom(int ms) override {
        calls.push_back("PlayFrom " + std::to_string(ms));
        if (!open_)
            return;
        position_ = ms;
        mode_ = kModePlaying;
    }
    void Stop() override {
        calls.push_back("Stop");
        if (!open_)
            throw std::runtime_error("No MCI device open");
        mode_ = kModeStopped;
    }
    void Seek(int ms) override {
        calls.push_back("Seek " + std::to_string(ms));
        if (!open_)
            throw std::runtime_error("No MCI device open");
        position_ = ms;
        mode_ = kModeStopped;
        pausedAt_ = -1;
    }
    void Close() override {
        if (open_)
            calls.push_back("Close");
        open_ = false;
    }
    int Mode() override {
        if (modeThrows)
            throw std::runtime_error("could not get mode information");
        if (!open_)
            return kModeIdle;
        if (mode_ == kModePaused && lagLeft_ > 0) {
            --lagLeft_;
            return kModePlaying;
        }
        return stuckMode >= 0 ? stuckMode : mode_;
    }
    int Position() override { return open_ ? position_ : 0; }
    int Length() override {
        if (lengthThrows)
            throw std::runtime_error("no length");
        return open_ ? lengthMs : 0;
    }
    std::string LastError() override { return lastError_; }

    // The tune plays to its end.
    void Finish() {
        position_ = lengthMs;
        mode_ = kModeStopped;
    }
    void SetPosition(int ms) { position_ = ms; }
    bool IsOpen() const { return open_; }
    const std::string& Content() const { return content_; }

private:
    std::string file_, content_, lastError_;
    bool open_ = false;
    int mode_ = kModeIdle;
    int position_ = 0;
    int pausedAt_ = -1;
    int lagLeft_ = 0;
};

// Titles whose stored data are the bytes given (the fake unzip copies them out unchanged).
class FakeStore : public ITitleStore {
public:
    struct Title {
        std::string data;
        TitleTexts texts;
        int duration = 0;
    };
    std::map<int, Title> titles;
    std::vector<int> extracted, deleted;
    bool archiveStuck = false; // leaves a directory where the archive should be deleted

    void Add(int key, const std::string& data, const std::string& title = "") {
        titles[key] = {
            data,
            {title.empty() ? "Title " + std::to_string(key) : title, " Ann ", "Lee ", "Jazz "},
            0};
    }
    bool Extract(int key, const std::filesystem::path& target, TitleTexts& texts) override {
        extracted.push_back(key);
        auto it = titles.find(key);
        if (it == titles.end())
            return false;
        if (archiveStuck) {
            std::filesystem::create_directories(target / "held");
            WriteFileAtomically(target / "held" / "data", it->second.data);
        } else {
            WriteFileAtomically(target, it->second.data);
        }
        texts = it->second.texts;
        return true;
    }
    void SetDuration(int seconds, int key) override { titles.at(key).duration = seconds; }
    void DeleteTitle(int key) override {
        deleted.push_back(key);
        titles.erase(key);
    }
};

inline PlayTools FakeTools() {
    PlayTools t;
    t.unzipOneFile = [](const std::filesystem::path& archive, const std::filesystem::path& dir,
                        std::filesystem::path& member) {
        std::filesystem::path source = archive;
        if (std::filesystem::is_directory(archive))
            source = archive / "held" / "data";
        std::string bytes = ReadWholeFile(source);
        if (bytes.rfind("NOZIP", 0) == 0)
            return false;
        member = dir / "AAATune.TTT";
        WriteFileAtomically(member, bytes);
        return true;
    };
    t.probe = [](const std::filesystem::path& file) {
        std::string bytes;
        try {
            bytes = ReadWholeFile(file);
        } catch (const std::exception&) {
            return -1;
        }
        if (bytes.rfind("MThd", 0) == 0)
            return 1;
        if (bytes.rfind("RIFF", 0) == 0)
            return 2;
        return 0;
    };
    return t;
}

// A play program over the fakes with its waits cut short, and titles 1 .. `titles` in the
// store whose data read "MThd tune N".
struct FakePlaySetup {
    TempDir home;
    PlayHost host;
    FakePlayer player;
    FakeStore store;
    PlayProgram program{host, player, store, FakeTools(), home.path()};

    explicit FakePlaySetup(int titles) {
        PlayTiming quick;
        quick.afterStep = quick.afterStop = quick.waitPoll = std::chrono::milliseconds(0);
        quick.waitLimit = std::chrono::milliseconds(200);
        program.SetTiming(quick);
        for (int key = 1; key <= titles; ++key)
            store.Add(key, "MThd tune " + std::to_string(key));
    }
};

} // namespace tunquil::test
