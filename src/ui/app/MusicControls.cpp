#include "ui/app/MusicControls.h"

#include "ui/app/MasterLayout.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/Glyphs.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TDropButton.h"
#include "ui/midi/TempoControls.h"

#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {
constexpr int kTopAreaHeight = 127;
}

MusicControls::MusicControls(double scale, QWidget* parent) : QFrame(parent), scale_(scale) {
    setObjectName("TopPanel");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setFixedHeight(Px(kTopAreaHeight));
    SetHint(this, "Music controls");

    displayFrame_ = new QFrame(this);
    displayFrame_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    displayFrame_->setLineWidth(3);
    displayFrame_->setStyleSheet("background: black;");
    displayFrame_->setAccessibleName("Now playing");
    TransportControls& c = controls_;
    c.panel = new TCDPanelP(displayFrame_);
    c.panel->setObjectName("CDPanel");
    auto* displayLayout = new QVBoxLayout(displayFrame_);
    displayLayout->setContentsMargins(4, 4, 4, 4);
    displayLayout->addWidget(c.panel);

    c.trackBar = new QSlider(Qt::Horizontal, this);
    c.trackBar->setObjectName("TrackBar1");
    c.trackBar->setTickPosition(QSlider::NoTicks);
    c.trackBar->setRange(0, 10);
    c.trackBar->setPageStep(10);
    c.trackBar->setSingleStep(5); // the arrow keys and the wheel move by five seconds
    SetHint(c.trackBar, "Move|Move position within playing title", 14);

    // Beside the position bar: the speed and the key of the playing title. Arrows and the
    // wheel change them at once; typed values take effect with Enter.
    c.tempo = TempoControls::MakeTempoBox(this);
    c.transpose = TempoControls::MakeTransposeBox(this);

    auto makeButton = [&](auto* button, const char* name, GlyphKind glyph, const QString& hint,
                          int helpContext) {
        button->setObjectName(name);
        button->setIcon(Glyph(glyph));
        button->setAutoRaise(false);
        SetHint(button, hint, helpContext);
        return button;
    };
    playReplace_ = makeButton(new TDropButton(this), "PlayReplace", GlyphKind::AddPlay,
                              "Add + Play|Add music and play it first", 3);
    play_ = makeButton(new TDropButton(this), "Play", GlyphKind::Add,
                       "Add|Add music and play it last", 4);
    for (auto [button, text] : {std::pair{playReplace_, "Add+Play"}, std::pair{play_, "Add"}}) {
        button->setFixedSize(Px(43), Px(25));
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    c.playReplace = playReplace_;
    c.play = play_;

    struct Small {
        QToolButton** button;
        const char* name;
        GlyphKind glyph;
        const char* hint;
        int help;
    };
    const Small smalls[] = {
        {&c.progView, "ProgView", GlyphKind::View, "View|View the program currently playing", 11},
        {&c.shuffle, "Shuffle", GlyphKind::Shuffle, "Shuffle|Shuffle the program currently playing",
         15},
        {&c.musicClear, "MusicClear", GlyphKind::Clear, "Clear|Erase the currently playing program",
         16},
        {&c.back, "Back", GlyphKind::Previous,
         "Previous|Restart play with the previously playing title", 0},
        {&c.playNext, "PlayNext", GlyphKind::Next, "Next|Play the next title in the program", 0},
        {&c.repeat, "RepeatSB", GlyphKind::Restart, "Restart|Restart title currently playing", 0},
        {&c.pause, "Pause", GlyphKind::Pause, "Pause", 0},
        {&c.oneStop, "OneStop", GlyphKind::Stop, "Stop|Stop current play", 0},
        {&c.allStop, "AllStop", GlyphKind::StopClear,
         "Stop+Clear program|Stop all play and erase play list", 0},
        {&c.volume, "Volume", GlyphKind::Volume, "Volume + Balance", 17},
    };
    for (const Small& s : smalls) {
        QFrame* frame = LoweredFrame(this, 2);
        frame->setFixedSize(Px(25), Px(25));
        *s.button = makeButton(new QToolButton(frame), s.name, s.glyph, s.hint, s.help);
        (*s.button)->setGeometry(Px(2), Px(2), Px(21), Px(21));
        (*s.button)->setIconSize(QSize(Px(16), Px(16)));
        controlFrames_.push_back(frame);
    }

    for (auto [button, frame] : {std::pair{&leftToggle_, &leftToggleFrame_},
                                 std::pair{&rightToggle_, &rightToggleFrame_}}) {
        *frame = LoweredFrame(this, 1);
        (*frame)->setFixedSize(Px(18), Px(20));
        *button = new QToolButton(*frame);
        (*button)->setGeometry(Px(2), Px(2), Px(14), Px(16));
        (*button)->setIconSize(QSize(Px(10), Px(10)));
        connect(*button, &QToolButton::clicked, this, [this] {
            if (onToggleToolbar)
                onToggleToolbar();
        });
    }
    leftToggle_->setObjectName("ToolsLeft");
    rightToggle_->setObjectName("ToolsRight");
}

int MusicControls::Px(int pixels) const {
    return static_cast<int>(pixels * scale_ + 0.5);
}

void MusicControls::ShowToolbarState(bool toolbarShown) {
    for (QToolButton* toggle : {leftToggle_, rightToggle_}) {
        toggle->setIcon(Glyph(toolbarShown ? GlyphKind::Collapse : GlyphKind::Expand, 10));
        QString hint = toolbarShown ? "Hide|Hide music toolbar" : "Show|Show music toolbar";
        toggle->setToolTip(hint.section('|', 0, 0));
        toggle->setStatusTip(hint.section('|', 1));
        toggle->setAccessibleName(hint.section('|', 1));
    }
}

void MusicControls::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    const int w = width();
    displayFrame_->setGeometry(0, 0, w, Px(70));
    const int tempoWidth = Px(64), keyWidth = Px(46);
    controls_.transpose->setGeometry(w - Px(2) - keyWidth, Px(72), keyWidth, Px(23));
    controls_.tempo->setGeometry(w - Px(4) - keyWidth - tempoWidth, Px(72), tempoWidth, Px(23));
    controls_.trackBar->setGeometry(Px(2), Px(72), w - Px(10) - keyWidth - tempoWidth, Px(23));
    std::vector<int> widths{playReplace_->width(), play_->width()};
    for (QFrame* frame : controlFrames_)
        widths.push_back(frame->width());
    std::vector<int> lefts = MusicControlLefts(w, widths);
    playReplace_->move(lefts[0], Px(97));
    play_->move(lefts[1], Px(97));
    for (std::size_t i = 0; i < controlFrames_.size(); ++i)
        controlFrames_[i]->move(lefts[i + 2], Px(97));
    leftToggleFrame_->move(Px(8), Px(102));
    rightToggleFrame_->move(w - rightToggleFrame_->width() - Px(8), Px(102));
}

} // namespace tunquil::ui
