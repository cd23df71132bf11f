#include "ui/controls/TCDPanelP.h"

#include "ui/controls/TFlashLabel.h"

#include <QLabel>
#include <QTimer>
#include <algorithm>

namespace tunquil::ui {

namespace {

const QColor kSilver(192, 192, 192);
const QColor kCyan(0, 255, 255);
const QColor kGreen(0, 255, 0);
const QColor kDarkGreen(0, 128, 0);
const QColor kYellow(255, 255, 0);
const QColor kGrey(128, 128, 128);
const QColor kDarkCyan(0, 128, 128);
const QColor kDarkYellow(128, 128, 0);

// The panel's geometry at 96 dots per inch.
constexpr int kCaptionLeft = 10;
constexpr int kValueLeft = 75;
constexpr int kTop = 3;
constexpr int kRow = 19;
constexpr int kRightMargin = 6;
constexpr int kTimeGap = 20;
constexpr int kColumnGap = 10;

struct ItemLook {
    const char* objectName;
    const char* description;
    QColor on, off;
    int duration;
};

// In the order of TCDPanelP::Item. A blink dims an item and never blanks it: in the panel's
// black, a black phase left "Title 2 of 9" unreadable for half of the four seconds after a
// change of title.
const ItemLook kItems[] = {
    {"categoryValue", "Category", kGreen, kDarkGreen, 3000},
    {"artistValue", "Artist", kGreen, kDarkGreen, 3000},
    {"titleValue", "Title", kGreen, kDarkGreen, 3000},
    {"playerState", "Player state", kYellow, kDarkYellow, 4000},
    {"titleNumber", "Title number", kCyan, kDarkCyan, 4000},
    {"titleCount", "Titles in program", kCyan, kDarkCyan, 4000},
    {"programMessage", "Program message", kCyan, kDarkCyan, 4000},
    {"elapsedTime", "Elapsed time", kYellow, kYellow, 3000},
    {"totalTime", "Total time", kCyan, kGrey, 3000},
};

QLabel* StaticCaption(const QString& text, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
    return label;
}

int TextWidth(const QLabel* label) {
    return label->fontMetrics().horizontalAdvance(label->text()) + 2;
}

} // namespace

TCDPanelP::TCDPanelP(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAccessibleName("Now playing");

    categoryCaption_ = StaticCaption("Category", kSilver, this);
    artistCaption_ = StaticCaption("Artist", kSilver, this);
    titleCaption_ = StaticCaption("Title", kSilver, this);
    titleWord_ = StaticCaption("Title  ", kCyan, this);
    ofWord_ = StaticCaption(" of  ", kCyan, this);
    inProgramWord_ = StaticCaption("  in program", kCyan, this);

    for (size_t i = 0; i < items_.size(); ++i) {
        auto* label = new TFlashLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setObjectName(kItems[i].objectName);
        // The name stays the label's text, so a screen reader reads what is shown; the
        // description says which item it is.
        label->setAccessibleDescription(kItems[i].description);
        label->SetOnColor(kItems[i].on);
        label->SetOffColor(kItems[i].off);
        label->SetDuration(kItems[i].duration);
        label->SetInterval(300);
        items_[i] = label;
    }
    Render(tunquil::NowPlaying());
}

TCDPanelP::~TCDPanelP() {
    if (statePoll_)
        statePoll_->stop();
}

void TCDPanelP::Render(const tunquil::NowPlaying& model) {
    auto set = [this](Item item, const std::string& text) {
        ItemLabel(item)->SetTextFlashing(QString::fromStdString(text));
    };
    set(Item::Category, model.Category());
    set(Item::Artist, model.Artist());
    set(Item::Title, model.Title());
    set(Item::Message, model.Message());
    set(Item::TitleNumber, std::to_string(model.TitleNumber()));
    set(Item::TitleCount, std::to_string(model.TitleCount()));
    set(Item::Elapsed, model.ElapsedText());
    set(Item::Total, model.TotalText());
    set(Item::State, model.State());
    LayOut();
}

void TCDPanelP::AttachPlayer(tunquil::NowPlaying& model, std::function<int()> mode,
                             std::function<bool()> busy) {
    model_ = &model;
    mode_ = std::move(mode);
    busy_ = std::move(busy);
    if (!statePoll_) {
        statePoll_ = new QTimer(this);
        statePoll_->setInterval(kStatePollMs);
        connect(statePoll_, &QTimer::timeout, this, &TCDPanelP::PollState);
    }
    statePoll_->start();
}

void TCDPanelP::PollState() {
    if (model_) {
        int mode = mode_ ? mode_() : 0;
        bool busy = busy_ ? busy_() : false;
        model_->PollState(mode, busy);
        ItemLabel(Item::State)->SetTextFlashing(QString::fromStdString(model_->State()));
    }
    LayOut();
}

void TCDPanelP::EnableFlashing() {
    for (Item item : {Item::State, Item::TitleNumber, Item::TitleCount, Item::Message})
        ItemLabel(item)->SetCanFlash(true);
}

int TCDPanelP::Scaled(int pixels) const {
    return pixels * logicalDpiX() / 96;
}

QSize TCDPanelP::sizeHint() const {
    return {Scaled(460), minimumSizeHint().height()};
}

QSize TCDPanelP::minimumSizeHint() const {
    int lineHeight = ItemLabel(Item::Category)->fontMetrics().height();
    return {Scaled(300), Scaled(kTop + 2 * kRow) + lineHeight + Scaled(kTop)};
}

void TCDPanelP::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    LayOut();
}

void TCDPanelP::LayOut() {
    const int right = width() - Scaled(kRightMargin);
    const int top = Scaled(kTop);
    const int row = Scaled(kRow);
    auto place = [](QLabel* label, int left, int y) {
        label->setGeometry(left, y, TextWidth(label), label->fontMetrics().height());
    };
    auto placeRight = [&](QLabel* label, int rightEdge, int y) {
        place(label, rightEdge - TextWidth(label), y);
        return rightEdge - TextWidth(label);
    };

    // The right-hand column, from the right edge inwards; its leftmost point bounds the values.
    int columnLeft = placeRight(ItemLabel(Item::State), right, top);
    TFlashLabel* message = ItemLabel(Item::Message);
    const bool showMessage = !message->text().isEmpty();
    message->setVisible(showMessage);
    for (QWidget* w :
         std::initializer_list<QWidget*>{titleWord_, ItemLabel(Item::TitleNumber), ofWord_,
                                         ItemLabel(Item::TitleCount), inProgramWord_})
        w->setVisible(!showMessage);
    if (showMessage) {
        columnLeft = std::min(columnLeft, placeRight(message, right, top + row));
    } else {
        int edge = right;
        for (QLabel* label :
             std::initializer_list<QLabel*>{inProgramWord_, ItemLabel(Item::TitleCount), ofWord_,
                                            ItemLabel(Item::TitleNumber), titleWord_})
            edge = placeRight(label, edge, top + row);
        columnLeft = std::min(columnLeft, edge);
    }
    int totalLeft = placeRight(ItemLabel(Item::Total), right, top + 2 * row);
    columnLeft = std::min(columnLeft, placeRight(ItemLabel(Item::Elapsed),
                                                 totalLeft - Scaled(kTimeGap), top + 2 * row));

    const int valueLeft = Scaled(kValueLeft);
    const int valueWidth = std::max(0, columnLeft - Scaled(kColumnGap) - valueLeft);
    QLabel* captions[] = {categoryCaption_, artistCaption_, titleCaption_};
    Item values[] = {Item::Category, Item::Artist, Item::Title};
    for (int i = 0; i < 3; ++i) {
        place(captions[i], Scaled(kCaptionLeft), top + i * row);
        QLabel* value = ItemLabel(values[i]);
        value->setGeometry(valueLeft, top + i * row, std::min(TextWidth(value), valueWidth),
                           value->fontMetrics().height());
    }
}

} // namespace tunquil::ui
