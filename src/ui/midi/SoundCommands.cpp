#include "ui/midi/SoundCommands.h"

#include "app/PlayProgram.h"
#include "app/SoundFontChoice.h"
#include "base/Files.h"
#include "base/IniFile.h"
#include "database/TMusicLibrary.h"
#include "midi/TestScale.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MidiPortSequencer.h"
#include "platform/OutputChoice.h"
#include "platform/SynthesizerMix.h"
#include "platform/SystemMixer.h"
#include "ui/WidgetHost.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/Glyphs.h"
#include "ui/controls/MenuItems.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/midi/LyricsPane.h"
#include "ui/midi/MprisService.h"
#include "ui/midi/MusicKeys.h"
#include "ui/midi/TMidiOutputFrm.h"
#include "ui/midi/TMixerFrm2.h"
#include "ui/midi/TViewProgFrm.h"
#include "ui/midi/TempoControls.h"

#include <QActionGroup>
#include <QCursor>
#include <QFileDialog>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

namespace tunquil::ui {

namespace {

// A click in the position bar's groove jumps to the point clicked, as in media players,
// rather than a page (ten seconds) towards it; the handle follows the pointer from there.
class JumpToClickStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton | Qt::MiddleButton;
        if (hint == SH_Slider_PageSetButtons)
            return Qt::NoButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

SoundCommands::SoundCommands(IMasterWindow& window, platform::ISequencerDevice& device,
                             std::shared_ptr<platform::SynthesizerMix> mix)
    : window_(window), device_(device), mix_(std::move(mix)),
      tempo_(std::make_unique<TempoControls>(window)) {}

SoundCommands::~SoundCommands() {
    delete programView_;
    delete mixerWindow_;
    if (lyricsPane_)
        lyricsPane_->onClosed = nullptr; // the menu may be gone before it
    delete lyricsPane_;
    delete mediaControls_;
}

// ------------------------------------------------------------------ the music controls

void SoundCommands::AttachTransport(const TransportControls& controls) {
    controls_ = controls;
    connect(controls_.progView, &QToolButton::clicked, this, &SoundCommands::ShowProgramView);
    connect(controls_.volume, &QToolButton::clicked, this, &SoundCommands::ShowMixer);
    auto transport = [this](QToolButton* button, void (PlayProgram::*action)()) {
        connect(button, &QToolButton::clicked, this, [this, action] {
            if (PlayProgram* program = window_.Program()) {
                (program->*action)();
                window_.RefreshTransport();
            }
        });
    };
    transport(controls_.shuffle, &PlayProgram::Shuffle);
    transport(controls_.musicClear, &PlayProgram::Clear);
    transport(controls_.back, &PlayProgram::Previous);
    transport(controls_.playNext, &PlayProgram::Next);
    transport(controls_.repeat, &PlayProgram::Restart);
    transport(controls_.pause, &PlayProgram::PauseOrResume);
    transport(controls_.oneStop, &PlayProgram::Stop);
    transport(controls_.allStop, &PlayProgram::StopAndClear);
    QSlider* bar = controls_.trackBar;
    auto* jump = new JumpToClickStyle(bar->style()->name());
    jump->setParent(bar);
    bar->setStyle(jump);
    connect(bar, &QSlider::sliderPressed, this, [this] {
        if (PlayProgram* program = window_.Program())
            program->TrackBarPressed();
    });
    connect(bar, &QSlider::valueChanged, this, [this, bar](int position) {
        PlayProgram* program = window_.Program();
        if (!program)
            return;
        // A change without the handle held (a wheel turn, a key, a click in the groove) is a
        // whole press, move and release: it seeks at once, and resumes a paused title.
        const bool held = bar->isSliderDown();
        if (!held)
            program->TrackBarPressed();
        program->TrackBarChanged(position);
        if (!held)
            program->TrackBarReleased();
        if (program->TrackBar().position != position) {
            QSignalBlocker quiet(bar);
            bar->setValue(program->TrackBar().position);
        }
        if (!held)
            window_.RefreshTransport();
    });
    connect(bar, &QSlider::sliderReleased, this, [this] {
        if (PlayProgram* program = window_.Program()) {
            program->TrackBarReleased();
            window_.RefreshTransport();
        }
    });
    tempo_->Attach(controls_.tempo, controls_.transpose);
    window_.Host().SetPositionTick([this] {
        if (PlayProgram* program = window_.Program()) {
            program->Tick();
            window_.RefreshTransport();
        }
    });
}

void SoundCommands::Refresh() {
    if (!controls_.pause)
        return;
    const bool locked = window_.Locked();
    PlayProgram* program = window_.Program();
    TransportState state = program ? program->Transport() : InitialTransportState();
    const auto& keys = keys_;
    auto apply = [&keys](QToolButton* button, const ControlState& s, bool lockable, bool locked) {
        button->setEnabled(s.enabled && !(lockable && locked));
        SetHint(button, QString::fromStdString(s.hint));
        if (auto key = keys.find(button); key != keys.end())
            button->setToolTip(button->toolTip() + " (" + key->second + ")");
        switch (s.glyph) {
        case Glyph::Play:
            button->setIcon(tunquil::ui::Glyph(GlyphKind::Play));
            break;
        case Glyph::Pause:
            button->setIcon(tunquil::ui::Glyph(GlyphKind::Pause));
            break;
        case Glyph::Stop:
            button->setIcon(tunquil::ui::Glyph(GlyphKind::Stop));
            break;
        case Glyph::None:
            break;
        }
    };
    const TransportControls& c = controls_;
    apply(c.playReplace, state.playReplace, false, locked);
    apply(c.play, state.play, false, locked);
    apply(c.progView, state.progView, false, locked);
    apply(c.shuffle, state.shuffle, false, locked);
    apply(c.musicClear, state.musicClear, false, locked);
    apply(c.back, state.back, true, locked);
    apply(c.playNext, state.playNext, true, locked);
    apply(c.repeat, state.repeat, false, locked);
    apply(c.pause, state.pause, false, locked);
    apply(c.oneStop, state.oneStop, false, locked);
    apply(c.allStop, state.allStop, false, locked);
    apply(c.volume, state.volume, true, locked);
    c.trackBar->setEnabled(state.trackBar.enabled && !locked);
    tempo_->Refresh(state.trackBar.enabled);
    if (programMenu_)
        programMenu_->menuAction()->setEnabled(state.programMenu);
    if (!program)
        return;
    const TrackBarState& bar = program->TrackBar();
    if (!c.trackBar->isSliderDown()) {
        QSignalBlocker quiet(c.trackBar);
        c.trackBar->setRange(bar.min, std::max(bar.min, bar.max));
        c.trackBar->setPageStep(bar.pageSize);
        c.trackBar->setValue(bar.position);
    }
    c.panel->Render(program->Panel());
}

// ------------------------------------------------------------------ the menus

QAction* SoundCommands::AddPlayMenu(QMenu* menu, bool albums) {
    if (albums) {
        QMenu* play = menu->addMenu("Play");
        Item(play, "&Titles selected", this, [this] {
            if (window_.ActiveAlbumGrid())
                PlayKeys(window_.SelectionKeys(TitleSelection::AlbumTitles),
                         SelectionSource::AlbumList, true);
            else
                window_.Host().ShowMessage("Please select an album tab first",
                                           TMsgDlgType::mtInformation, 0, mbOK);
        });
        Item(play, "&Album selected", this, [this] {
            PlayKeys(window_.SelectionKeys(TitleSelection::AlbumSelected),
                     SelectionSource::AlbumList, true);
        });
        return Item(play, "A&ll albums", this, [this] {
            PlayKeys(window_.SelectionKeys(TitleSelection::AllAlbums), SelectionSource::AlbumList,
                     true);
        });
    }
    QMenu* play = menu->addMenu("&Play");
    QAction* last = nullptr;
    for (auto [caption, which] : {std::pair{"&Titles selected", TitleSelection::CategoryTitles},
                                  std::pair{"Active &category", TitleSelection::ActiveCategory},
                                  std::pair{"&All categories", TitleSelection::AllCategories}})
        last = Item(play, caption, this, [this, which] {
            PlayKeys(window_.SelectionKeys(which), SelectionSource::CategoryGrid, true);
        });
    return last;
}

void SoundCommands::AddPlayTitlesItem(QMenu* menu) {
    // On the album side only an album's tab has titles to select.
    auto selection = [this](std::vector<int32_t>& keys, SelectionSource& source) {
        if (window_.AlbumSideCurrent()) {
            source = SelectionSource::AlbumList;
            if (window_.ActiveAlbumGrid())
                keys = window_.SelectionKeys(TitleSelection::AlbumTitles);
        } else {
            source = SelectionSource::CategoryGrid;
            keys = window_.SelectionKeys(TitleSelection::CategoryTitles);
        }
    };
    Item(menu, "&Play", this, [this, selection] {
        std::vector<int32_t> keys;
        SelectionSource source;
        selection(keys, source);
        PlayKeys(keys, source, true);
    });
    // What the Add and Add+Play buttons do with a drop, for the keyboard and the pop-ups.
    auto add = [this, selection](bool top) {
        return [this, selection, top] {
            std::vector<int32_t> keys;
            SelectionSource source;
            selection(keys, source);
            DropToPlay(top, {source, keys});
        };
    };
    Item(menu, "&Add to program", this, add(false))->setShortcut(QKeySequence(Qt::Key_Insert));
    Item(menu, "Add + Pla&y", this, add(true))
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
}

void SoundCommands::AddProgramItems(QMenu* menu) {
    programMenu_ = menu;
    Item(menu, "&View titles", this, [this] { ShowProgramView(); });
    menu->addSeparator();
    Item(menu, "&Shuffle", this, [this] { window_.Program()->Shuffle(); });
    menu->addSeparator();
    Item(menu, "&Erase", this, [this] { window_.Program()->Clear(); });
    Item(menu, "&Erase and stop play", this, [this] { window_.Program()->StopAndClear(); });
    menu->addSeparator();
    // The music controls from the keyboard, as desktop players offer them; the keys work in
    // every window of the program, and the buttons' hints name them.
    if (!musicKeys_)
        musicKeys_ = new MusicKeys(window_.Widget(), this);
    auto key = [this, menu](const QString& caption, const QKeySequence& keys, QToolButton* button,
                            std::function<void()> action) {
        QAction* item = Item(menu, caption, this, std::move(action));
        musicKeys_->Bind(item, keys);
        if (button)
            keys_[button] = keys.toString(QKeySequence::NativeText);
    };
    auto transport = [this](void (PlayProgram::*action)()) {
        return [this, action] {
            if (PlayProgram* program = window_.Program()) {
                (program->*action)();
                window_.RefreshTransport();
            }
        };
    };
    key("&Pause or resume", QKeySequence(Qt::CTRL | Qt::Key_Space), controls_.pause,
        transport(&PlayProgram::PauseOrResume));
    key("S&top", QKeySequence(Qt::CTRL | Qt::Key_Period), controls_.oneStop,
        transport(&PlayProgram::Stop));
    key("&Next title", QKeySequence(Qt::CTRL | Qt::Key_Right), controls_.playNext,
        transport(&PlayProgram::Next));
    key("&Previous title", QKeySequence(Qt::CTRL | Qt::Key_Left), controls_.back,
        transport(&PlayProgram::Previous));
    key("&Forward 5 seconds", QKeySequence(Qt::ALT | Qt::Key_Right), nullptr, [this] { Seek(5); });
    key("&Back 5 seconds", QKeySequence(Qt::ALT | Qt::Key_Left), nullptr, [this] { Seek(-5); });
    key("&Louder", QKeySequence(Qt::CTRL | Qt::Key_Up), controls_.volume,
        [this] { ChangeVolume(+1); });
    key("&Quieter", QKeySequence(Qt::CTRL | Qt::Key_Down), nullptr, [this] { ChangeVolume(-1); });
    menu->addSeparator();
    tempo_->AddProgramItems(menu, [&key](const QString& caption, const QKeySequence& keys,
                                         std::function<void()> action) {
        key(caption, keys, nullptr, std::move(action));
    });
}

void SoundCommands::Seek(int seconds) {
    // As the position bar does it: a press, a move and a release.
    QSlider* bar = controls_.trackBar;
    if (bar && bar->isEnabled())
        bar->setValue(bar->value() + seconds);
}

void SoundCommands::ChangeVolume(int steps) {
    // A tenth of the range a step, both sides alike, so that the balance stays.
    const int64_t step = int64_t(platform::SynthesizerMix::kFull) / 10 * steps;
    auto moved = [step](uint32_t value) {
        return uint32_t(
            std::clamp<int64_t>(int64_t(value) + step, 0, platform::SynthesizerMix::kFull));
    };
    mix_->SetVolume(moved(mix_->Left()), moved(mix_->Right()));
    window_.Host().Status("Volume " +
                          std::to_string(std::max(mix_->Left(), mix_->Right()) * 100 /
                                         platform::SynthesizerMix::kFull) +
                          " %");
}

void SoundCommands::AddSettingsItems(QMenu* menu) {
    loopingItem_ = Check(menu, "&Auto looping", this, [this](bool on) {
        window_.WindowSettings().autoLooping = on;
        if (PlayProgram* program = window_.Program())
            program->SetAutoLooping(on);
    });
    menu->addSeparator();
    QMenu* resets = menu->addMenu("&Reset before play");
    // Beyond the reset choices: the SoundFont the synthesizer plays with, and where the titles
    // play.
    Item(menu, "Sound&Font...", this, [this] { ChooseSoundFont(); });
    Item(menu, "MIDI &output...", this, [this] { ChooseMidiOutput(); });
    auto* resetGroup = new QActionGroup(resets);
    resetGroup->setExclusive(true);
    const std::pair<const char*, ResetChoice> choices[] = {
        {"&GM then GS", ResetChoice::GMThenGS}, {"GS &then GM", ResetChoice::GSThenGM},
        {"G&M only", ResetChoice::GMOnly},      {"G&S only", ResetChoice::GSOnly},
        {"&XG", ResetChoice::XGOnly},           {"GM&2", ResetChoice::GM2Only},
        {"MT-&32", ResetChoice::MT32Only},      {"&None", ResetChoice::None}};
    for (auto [caption, choice] : choices) {
        QAction* item = Check(resets, caption, this, [this, choice](bool on) {
            if (!on)
                return;
            window_.WindowSettings().reset = choice;
            if (PlayProgram* program = window_.Program())
                program->SetResetChoice(choice);
        });
        resetGroup->addAction(item);
        resetItems_[choice] = item;
    }
}

void SoundCommands::ShowSettings(const MainWindowSettings& settings) {
    if (loopingItem_)
        loopingItem_->setChecked(settings.autoLooping);
    if (auto item = resetItems_.find(settings.reset); item != resetItems_.end())
        item->second->setChecked(true);
}

void SoundCommands::ShowLooping(bool on) {
    QSignalBlocker quiet(loopingItem_);
    loopingItem_->setChecked(on);
}

// ------------------------------------------------------------------ the PLAY pop-up

QMenu* SoundCommands::BuildPlayPopup(QWidget* parent) {
    playMenu_ = new QMenu(parent);
    playMenu_->setObjectName("PlayPopup");
    playMenu_->setAccessibleName("PLAY");
    auto play = [this](void (PlayProgram::*action)()) {
        return [this, action] {
            (window_.Program()->*action)();
            window_.RefreshTransport();
        };
    };
    playTopItem_ = Item(playMenu_, "PLAY: &Top of program", this, play(&PlayProgram::PlayTop));
    playBottomItem_ =
        Item(playMenu_, "PLAY: &Bottom of program", this, play(&PlayProgram::PlayBottom));
    playReplaceItem_ =
        Item(playMenu_, "PLAY: &Replace program", this, play(&PlayProgram::PlayReplace));
    cancelItem_ = Item(playMenu_, "&Cancel", this,
                       [this] { window_.Program()->SetSelection({}, SelectionSource::None); });
    cancelItem_->setShortcut(QKeySequence(Qt::Key_Escape));
    return playMenu_;
}

void SoundCommands::PlayKeys(const std::vector<int32_t>& keys, SelectionSource source,
                             bool fromMenu) {
    PlayProgram* program = window_.Program();
    if (!program || keys.empty())
        return;
    program->SetSelectionKeys(keys, source);
    RunPlayMenu(fromMenu);
}

void SoundCommands::RunPlayMenu(bool fromMenu) {
    PlayProgram& program = *window_.Program();
    PlayProgram::PlayPopupLayout layout = program.PlayPopup(fromMenu);
    if (!layout.show) {
        program.PlayTop();
        window_.RefreshTransport();
        return;
    }
    playTopItem_->setText(QString::fromStdString(layout.firstCaption));
    playBottomItem_->setVisible(layout.bottomAndReplace);
    playReplaceItem_->setVisible(layout.bottomAndReplace);
    // The selection's other commands follow "&Cancel"; a menu's selection has its own menu.
    QList<QAction*> items = playMenu_->actions();
    items.erase(items.begin(), std::find(items.begin(), items.end(), cancelItem_) + 1);
    for (QAction* item : items)
        item->setVisible(!fromMenu);
    playMenu_->exec(QCursor::pos());
    for (QAction* item : items)
        item->setVisible(true);
}

void SoundCommands::PlayTitleNow(TMyStringGrid* grid, int row) {
    PlayProgram* program = window_.Program();
    if (!program || window_.Locked() || !grid->View().HasRecord(row))
        return;
    SelectionSource source = grid->DragSource();
    program->SetSelectionKeys({grid->View().MasterKey(row)}, source);
    program->PlayTop();
    window_.RefreshTransport();
}

bool SoundCommands::DropToPlay(bool top, const DraggedTitles& titles) {
    PlayProgram* program = window_.Program();
    if (!program || titles.keys.empty())
        return false;
    program->SetSelectionKeys(titles.keys, titles.source);
    if (top)
        program->PlayTop();
    else
        program->PlayBottom();
    window_.RefreshTransport();
    return true;
}

// ------------------------------------------------------------------ the sound windows

void SoundCommands::ShowProgramView() {
    TMusicLibrary& library = window_.Library();
    if (!window_.Program() || !library.DataModule())
        return;
    if (!programView_) {
        programView_ = new TViewProgFrm(
            *window_.Program(),
            [&library](int key, TitleRecord& record) {
                return library.DataModule() && library.Database().ReadRecordByKey(key, record);
            },
            window_.Widget());
        if (musicKeys_)
            musicKeys_->Serve(programView_);
    }
    programView_->ViewBeside(window_.Widget());
}

void SoundCommands::AddLyricsItem(QMenu* menu) {
    lyricsItem_ = Check(menu, "&Lyrics", this, [this](bool show) { ShowLyrics(show); });
}

LyricsPane* SoundCommands::Lyrics() const {
    return lyricsPane_;
}

void SoundCommands::ShowLyrics(bool show) {
    if (show && !lyricsPane_) {
        lyricsPane_ = new LyricsPane(
            [this] {
                PlayProgram* program = window_.Program();
                return program ? program->LyricsNow() : LyricsDisplay{kNothingPlayingNote};
            },
            window_.Widget());
        if (musicKeys_)
            musicKeys_->Serve(lyricsPane_);
        lyricsPane_->onClosed = [this] {
            if (lyricsItem_)
                lyricsItem_->setChecked(false);
        };
    }
    if (lyricsItem_ && lyricsItem_->isChecked() != show) {
        lyricsItem_->setChecked(show); // comes back here through the item
        return;
    }
    if (!lyricsPane_)
        return;
    if (show) {
        lyricsPane_->show();
        lyricsPane_->raise();
        lyricsPane_->activateWindow();
    } else {
        lyricsPane_->hide();
    }
}

void SoundCommands::ShowMixer() {
    if (!mixerWindow_) {
        mixerDevice_ = std::make_unique<platform::SystemMixer>(mix_);
        mixerWindow_ = new TMixerFrm2(*mixerDevice_, window_.Widget());
        if (musicKeys_)
            musicKeys_->Serve(mixerWindow_);
    }
    QString problem = ShowMixerOrFallback(*mixerWindow_);
    if (!problem.isEmpty())
        window_.Host().ShowMessage(problem.toStdString(), TMsgDlgType::mtError, 0, mbOK);
}

void SoundCommands::ChooseSoundFont() {
    QString file = QFileDialog::getOpenFileName(window_.Widget(), "SoundFont", QString(),
                                                "SoundFonts (*.sf2 *.sf3)");
    if (file.isEmpty())
        return;
    RunShowingFailure(window_.Host(), "", [&] {
        IniFile ini(window_.ProgramDirectory() / "Tunquil.ini");
        // The synthesizer takes the new SoundFont at once; another device (a test's) has none.
        auto* synthesizer = dynamic_cast<platform::FluidSynthSequencer*>(&device_);
        if (auto* choice = dynamic_cast<platform::OutputChoice*>(&device_))
            synthesizer = dynamic_cast<platform::FluidSynthSequencer*>(&choice->BuiltIn());
        tunquil::ChooseSoundFont(window_.Host(), ini, file.toStdString(),
                                 [synthesizer](const std::string& path) {
                                     return synthesizer ? synthesizer->ChangeSoundFont(path) : 0u;
                                 });
    });
}

void SoundCommands::ChooseMidiOutput() {
    auto* choice = dynamic_cast<platform::OutputChoice*>(&device_);
    if (!outputWindow_) {
        TMidiOutputFrm::Outputs outputs;
        outputs.list = [] {
            std::vector<std::string> names{platform::kBuiltInSynthesizer};
            for (const auto& port : platform::ListMidiOutputPorts())
                names.push_back(port.Name());
            return names;
        };
        outputs.test = [this](const std::string& output) { return TestOutput(output); };
        outputWindow_ = new TMidiOutputFrm(std::move(outputs), window_.Widget());
    }
    outputWindow_->Load(choice ? choice->Chosen() : std::string());
    if (outputWindow_->exec() != QDialog::Accepted)
        return;
    const std::string chosen = outputWindow_->Chosen();
    RunShowingFailure(window_.Host(), "", [&] {
        IniFile ini(window_.ProgramDirectory() / "Tunquil.ini");
        ini.WriteString("Sound", "MidiOutput", chosen);
        ini.UpdateFile();
    });
    if (choice)
        choice->Choose(chosen);
    window_.Host().Status(
        "MIDI output: " + (chosen.empty() ? std::string(platform::kBuiltInSynthesizer) : chosen) +
        " (from the next title)");
}

TMidiOutputFrm* SoundCommands::OutputWindow() const {
    return outputWindow_;
}

std::string SoundCommands::TestOutput(const std::string& output) {
    // One scale at a time, on a device of its own, so that a title playing goes on.
    testDevice_.reset();
    std::unique_ptr<platform::ISequencerDevice> device;
    if (output == platform::kBuiltInSynthesizer) {
        platform::FluidSynthSequencerOptions options;
        options.mix = mix_;
        IniFile ini(window_.ProgramDirectory() / "Tunquil.ini");
        options.soundFontSetting = ini.ReadString("Sound", "SoundFont", "");
        device = std::make_unique<platform::FluidSynthSequencer>(options);
    } else {
        platform::MidiPortSequencerOptions options;
        if (!platform::FindMidiOutputPort(output, options.port))
            return "\"" + output + "\" is not connected now.";
        options.mix = mix_;
        device = std::make_unique<platform::MidiPortSequencer>(options);
    }
    const fs::path scale = window_.ProgramDirectory() / "TempTrash" / "Scale.mid";
    std::error_code ec;
    fs::create_directories(scale.parent_path(), ec);
    try {
        WriteFileAtomically(scale, MakeTestScale());
    } catch (const std::exception& e) {
        return e.what();
    }
    platform::SequencerDeviceId id = 0;
    uint32_t error = device->Open(scale.string(), id);
    if (error == platform::kSeqOk)
        error = device->Play(id, 0u, std::nullopt);
    if (error != platform::kSeqOk) {
        std::string text;
        device->ErrorText(error, text);
        return text;
    }
    testDevice_ = std::move(device);
    QTimer::singleShot(kTestScaleMs + 300, this, [this, id, scale] {
        if (testDevice_) {
            testDevice_->Close(id);
            testDevice_.reset();
        }
        std::error_code ignored;
        fs::remove(scale, ignored);
    });
    return {};
}

void SoundCommands::ProgramChanged() {
    tempo_->ProgramChanged();
    window_.RefreshTransport();
    if (programView_ && programView_->isVisible())
        programView_->Refresh();
    if (mediaControls_)
        mediaControls_->Changed();
}

void SoundCommands::ProgramStarted() {
    tempo_->ProgramStarted();
    // The program of the last run comes back stopped at its first title, with the titles
    // still there.
    TMusicLibrary& library = window_.Library();
    window_.Program()->RestoreSavedEntries([&library](int key, TitleRecord& record) {
        return library.Database().ReadRecordByKey(key, record);
    });
    StartMediaControls();
}

void SoundCommands::KeepProgram() {
    if (PlayProgram* program = window_.Program())
        RunShowingFailure(window_.Host(), "", [program] { program->SaveEntries(); });
}

void SoundCommands::StartMediaControls() {
    PlayProgram* program = window_.Program();
    if (mediaControls_ || !program)
        return;
    auto* controls = new MprisService(*program, window_.Widget());
    // Without a session bus (or with another copy's name on it) there are no media keys; the
    // window works the same.
    if (controls->Register())
        mediaControls_ = controls;
    else
        delete controls;
}

} // namespace tunquil::ui
