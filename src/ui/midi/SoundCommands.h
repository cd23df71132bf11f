#pragma once
// Playing: the music controls and the position bar, the PLAY pop-up and the Play items of the
// menus, the Program menu and its window, the mixer, the SoundFont, the MIDI output, the looping
// and reset settings, the lyrics window, and the desktop's media controls. The tempo and key
// controls are a part of their own (TempoControls) that this one holds.

#include "app/MainWindowSettings.h"
#include "ui/MasterWindow.h"
#include "ui/controls/TitleKeysMime.h"

#include <QObject>
#include <QPointer>
#include <map>
#include <memory>

class QAction;
class QMenu;
class QSlider;
class QSpinBox;
class QToolButton;

namespace tunquil::platform {
class IMixerDevice;
class ISequencerDevice;
class SynthesizerMix;
} // namespace tunquil::platform

namespace tunquil::ui {

class MprisService;
class MusicKeys;
class TempoControls;
class LyricsPane;
class TCDPanelP;
class TMidiOutputFrm;
class TMixerFrm2;
class TMyStringGrid;
class TViewProgFrm;

// The top area's controls, as the window builds them.
struct TransportControls {
    QToolButton *playReplace = nullptr, *play = nullptr, *progView = nullptr, *shuffle = nullptr,
                *musicClear = nullptr, *back = nullptr, *playNext = nullptr, *repeat = nullptr,
                *pause = nullptr, *oneStop = nullptr, *allStop = nullptr, *volume = nullptr;
    QSlider* trackBar = nullptr;
    QSpinBox *tempo = nullptr, *transpose = nullptr; // percent; semitones
    TCDPanelP* panel = nullptr;
};

class SoundCommands : public QObject {
public:
    // `device` plays; `mix` is our synthesizer's volume, balance and mute, which the mixer sets.
    SoundCommands(IMasterWindow& window, platform::ISequencerDevice& device,
                  std::shared_ptr<platform::SynthesizerMix> mix);
    // The program and mixer windows and the media controls hold the program and the mixer
    // device: they go first.
    ~SoundCommands() override;

    // Wires the music controls and the position bar; the play program's timer ticks here.
    void AttachTransport(const TransportControls& controls);
    // The "Play" submenu of the Albums (`albums`) or the Categories menu; returns its last item
    // ("A&ll albums" / "&All categories").
    QAction* AddPlayMenu(QMenu* menu, bool albums);
    // The Titles menu's "&Play": the selected titles of the side used last.
    void AddPlayTitlesItem(QMenu* menu);
    void AddProgramItems(QMenu* menu);
    // "&Auto looping", "&Reset before play" and "Sound&Font..." of the Settings menu.
    void AddSettingsItems(QMenu* menu);
    // The PLAY pop-up's own items; items added after them are the selection's other commands,
    // shown only when the pop-up opens from a drag or a grid.
    QMenu* BuildPlayPopup(QWidget* parent);
    QMenu* PlayPopup() const { return playMenu_; }
    // The check marks of the looping and reset settings.
    void ShowSettings(const MainWindowSettings& settings);
    void ShowLooping(bool on);

    // Fills the play selection and opens the PLAY pop-up (or plays at once).
    void PlayKeys(const std::vector<int32_t>& keys, SelectionSource source, bool fromMenu);
    // Plays a title of a grid at once, at the top of the program (a double-click).
    void PlayTitleNow(TMyStringGrid* grid, int row);
    // Titles dropped on Add (`top` false) or Add+Play.
    bool DropToPlay(bool top, const DraggedTitles& titles);

    // The transport, the position bar, the now-playing panel and the Program menu follow the
    // play program.
    void Refresh();
    // After every change of the program, its index or the player: the transport, the program
    // window and the desktop's media controls follow.
    void ProgramChanged();
    void StartMediaControls();
    // At start-up, once the program exists: the program kept by the last run, then the media
    // controls. At shut-down: the program kept for the next run.
    void ProgramStarted();
    void KeepProgram();

    void ShowProgramView();
    void ShowMixer();
    // View > "&Lyrics": checked while the lyrics window is shown.
    void AddLyricsItem(QMenu* menu);
    void ShowLyrics(bool show);
    LyricsPane* Lyrics() const;
    void ChooseSoundFont();
    // Settings > "MIDI &output...": the output kept in Tunquil.ini ([Sound] MidiOutput=) and
    // used from the next title.
    void ChooseMidiOutput();
    TMidiOutputFrm* OutputWindow() const;

private:
    void RunPlayMenu(bool fromMenu);
    // Plays the test scale on an output; the problem, or empty.
    std::string TestOutput(const std::string& output);
    void Seek(int seconds);
    void ChangeVolume(int steps);

    IMasterWindow& window_;
    platform::ISequencerDevice& device_;
    std::shared_ptr<platform::SynthesizerMix> mix_;
    TransportControls controls_;
    std::unique_ptr<TempoControls> tempo_;
    QMenu* programMenu_ = nullptr;
    QMenu* playMenu_ = nullptr;
    QAction *playTopItem_ = nullptr, *playBottomItem_ = nullptr, *playReplaceItem_ = nullptr,
            *cancelItem_ = nullptr;
    QAction* loopingItem_ = nullptr;
    std::map<ResetChoice, QAction*> resetItems_;
    QPointer<TViewProgFrm> programView_;
    std::unique_ptr<platform::IMixerDevice> mixerDevice_;
    QPointer<TMixerFrm2> mixerWindow_;
    QPointer<TMidiOutputFrm> outputWindow_;
    std::unique_ptr<platform::ISequencerDevice> testDevice_;
    QPointer<LyricsPane> lyricsPane_;
    QAction* lyricsItem_ = nullptr;
    MprisService* mediaControls_ = nullptr;
    // The keys of the music controls, for their hints.
    std::map<QToolButton*, QString> keys_;
    MusicKeys* musicKeys_ = nullptr;
};

} // namespace tunquil::ui
