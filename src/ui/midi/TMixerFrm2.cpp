#include "ui/midi/TMixerFrm2.h"

#include "platform/MixerDevice.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

// A bar's value is how loud (or how much treble or bass): the fuller the bar, the louder, and
// Up, Page Up and the wheel turned away make it louder. The mixer panel counts positions from
// the top instead, 0 the loudest; Shown and Position turn one into the other.
QSlider* VerticalBar(const QString& accessibleName) {
    auto* bar = new QSlider(Qt::Vertical);
    bar->setAccessibleName(accessibleName);
    return bar;
}

int Shown(const QSlider* bar, int64_t position) {
    return bar->maximum() - int(position);
}

int64_t Position(const QSlider* bar, int value) {
    return bar->maximum() - value;
}

QSlider* BalanceBar(const QString& accessibleName) {
    auto* bar = new QSlider(Qt::Horizontal);
    bar->setRange(-50, 50);
    bar->setTickInterval(10);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setAccessibleName(accessibleName);
    return bar;
}

QWidget* Labelled(QWidget* control, const QString& caption) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control, 1, Qt::AlignHCenter);
    auto* label = new QLabel(caption);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
    return box;
}

} // namespace

TMixerFrm2::TMixerFrm2(platform::IMixerDevice& device, QWidget* parent)
    : QDialog(parent), mixer_(device), panel_(mixer_) {
    setWindowTitle("Tunquil sound control");
    setObjectName("TMixerFrm2");
    mixer_.MidiDeviceID = -2;
    onError = [this](const QString& text) { QMessageBox::critical(this, "Tunquil", text); };

    Line midi, master;
    auto* midiGroup = MakeGroup(" MIDI volume ", "MIDI volume", midi);
    auto* masterGroup = MakeGroup(" Master volume ", "Master volume", master);
    tbLeftVolume = midi.left, tbRightVolume = midi.right, tbVolume = midi.volume;
    tbPan = midi.pan, btnMute = midi.mute;
    tbLeftGVolume = master.left, tbRightGVolume = master.right, tbGVolume = master.volume;
    tbGPan = master.pan, btnGMute = master.mute;
    tbTreble = VerticalBar("Treble");
    tbBass = VerticalBar("Bass");

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(midiGroup);
    layout->addWidget(masterGroup);
    layout->addWidget(Labelled(tbTreble, "Treble"));
    layout->addWidget(Labelled(tbBass, "Bass"));
    resize(436, 293);

    Wire(midi, MixerGroup::Midi);
    Wire(master, MixerGroup::Master);
    connect(tbTreble, &QSlider::valueChanged, this,
            [this](int v) { Guarded([&] { panel_.TrebleMoved(Position(tbTreble, v)); }); });
    connect(tbBass, &QSlider::valueChanged, this,
            [this](int v) { Guarded([&] { panel_.BassMoved(Position(tbBass, v)); }); });

    panel_.onShow = [this](const MixerView& view) { Apply(view); };
    mixer_.OnControlChange = [this](int index) { panel_.ControlChanged(index); };
    // Notices come from the mixer's thread; they are read on ours.
    mixer_.onNoticePending = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Guarded([this] { mixer_.DeliverNotices(); }); }, Qt::QueuedConnection);
    };
}

TMixerFrm2::~TMixerFrm2() {
    // Closing takes the notice away from the device first, so that none is in flight when the
    // hook goes.
    mixer_.SetActive(false);
    mixer_.onNoticePending = nullptr;
}

QGroupBox* TMixerFrm2::MakeGroup(const QString& title, const QString& name, Line& line) {
    auto* group = new QGroupBox(title);
    group->setAccessibleName(name);
    line.left = VerticalBar(name + " L");
    line.right = VerticalBar(name + " R");
    line.volume = VerticalBar(name + " Vol");
    line.pan = BalanceBar(name + " Balance");
    line.mute = new QPushButton("Mute");
    line.mute->setCheckable(true);
    line.mute->setAccessibleName(name + " Mute");
    auto* grid = new QGridLayout(group);
    grid->addWidget(Labelled(line.left, "L"), 0, 0);
    grid->addWidget(Labelled(line.right, "R"), 0, 1);
    grid->addWidget(Labelled(line.volume, "Vol"), 0, 2);
    grid->addWidget(Labelled(line.pan, "Balance"), 1, 0, 1, 3);
    grid->addWidget(line.mute, 2, 0, 1, 3, Qt::AlignHCenter);
    return group;
}

void TMixerFrm2::Wire(const Line& line, MixerGroup group) {
    connect(line.left, &QSlider::valueChanged, this, [this, group, bar = line.left](int v) {
        Guarded([&] { panel_.LeftMoved(group, Position(bar, v)); });
    });
    connect(line.right, &QSlider::valueChanged, this, [this, group, bar = line.right](int v) {
        Guarded([&] { panel_.RightMoved(group, Position(bar, v)); });
    });
    connect(line.volume, &QSlider::valueChanged, this, [this, group, bar = line.volume](int v) {
        Guarded([&] { panel_.VolumeMoved(group, Position(bar, v)); });
    });
    connect(line.pan, &QSlider::valueChanged, this,
            [this, group](int b) { Guarded([&] { panel_.BalanceMoved(group, b); }); });
    connect(line.mute, &QPushButton::toggled, this,
            [this, group](bool on) { Guarded([&] { panel_.MuteToggled(group, on); }); });
}

void TMixerFrm2::Guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        if (onError)
            onError(QString::fromStdString(e.what()));
        // The controls go back to what the mixer holds.
        Apply(panel_.View());
    }
}

void TMixerFrm2::ApplyLine(const Line& line, const MixerLineView& view) {
    for (auto [bar, state] : {std::pair{line.left, view.left}, std::pair{line.right, view.right},
                              std::pair{line.volume, view.volume}}) {
        QSignalBlocker block(bar);
        bar->setEnabled(state.enabled);
        bar->setRange(0, int(state.bottom));
        bar->setValue(Shown(bar, state.position));
    }
    QSignalBlocker blockPan(line.pan);
    line.pan->setEnabled(view.balanceEnabled);
    line.pan->setValue(view.balance);
    QSignalBlocker blockMute(line.mute);
    line.mute->setEnabled(view.muteEnabled);
    line.mute->setChecked(view.muted);
}

void TMixerFrm2::Apply(const MixerView& view) {
    ApplyLine({tbLeftVolume, tbRightVolume, tbVolume, tbPan, btnMute}, view.midi);
    ApplyLine({tbLeftGVolume, tbRightGVolume, tbGVolume, tbGPan, btnGMute}, view.master);
    for (auto [bar, state] : {std::pair{tbTreble, view.treble}, std::pair{tbBass, view.bass}}) {
        QSignalBlocker block(bar);
        bar->setEnabled(state.enabled);
        bar->setRange(0, int(state.bottom));
        bar->setValue(Shown(bar, state.position));
    }
}

bool TMixerFrm2::ShowMixer(QString* error) {
    readFailed_ = false;
    try {
        panel_.Show();
    } catch (const std::exception& e) {
        readFailed_ = true;
        if (error)
            *error = QString::fromStdString(e.what());
        close();
        return false;
    }
    // Called again while minimised, the window comes back as the program window does.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    // Once more after the window manager has placed it, so that it ends up in front.
    QTimer::singleShot(100, this, [this] {
        raise();
        activateWindow();
    });
    return true;
}

QString ShowMixerOrFallback(TMixerFrm2& window) {
    QString error;
    if (window.ShowMixer(&error))
        return {};
    auto program = platform::FindVolumeControlProgram();
    if (platform::StartVolumeControlProgram(program))
        return {};
    return error + "\\nNo volume control program (pavucontrol) is installed.";
}

} // namespace tunquil::ui
