#pragma once
// The black now-playing panel of the music toolbar: category, artist and title of the current
// title, the "Title n of m in program" line (or a message in its place), the player's state and
// the elapsed and total time. It renders the play program's NowPlaying model; only the state line
// is also refreshed by the panel's own poll of the player, so it stays true while the program's
// position timer is stopped.

#include "app/NowPlaying.h"

#include <QFrame>
#include <array>
#include <functional>

class QLabel;
class QTimer;

namespace tunquil::ui {

class TFlashLabel;

class TCDPanelP : public QFrame {
    Q_OBJECT
public:
    enum class Item {
        Category,
        Artist,
        Title,
        State,
        TitleNumber,
        TitleCount,
        Message,
        Elapsed,
        Total
    };
    static constexpr int kStatePollMs = 300;

    // Starts showing "..." for the values and "No program" in place of the title line.
    explicit TCDPanelP(QWidget* parent = nullptr);
    ~TCDPanelP() override;

    // Shows everything the model holds (each item blinks only when its text changed) and lays
    // the panel out.
    void Render(const tunquil::NowPlaying& model);

    // Starts the 300 ms state poll: each tick asks `mode` for the player's mode code and `busy`
    // (may be empty) whether it is repositioning, feeds them to `model`, which keeps temporary
    // notices for their hold time, and shows the state line. `model` must outlive the panel.
    void AttachPlayer(tunquil::NowPlaying& model, std::function<int()> mode,
                      std::function<bool()> busy = {});
    // One tick of the state poll (public so that tests need not wait for the timer).
    void PollState();

    // Lets the state, title-number, title-count and message items blink on change; called once
    // start-up has filled the panel, so the first fills don't blink.
    void EnableFlashing();

    TFlashLabel* ItemLabel(Item item) const { return items_[static_cast<int>(item)]; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();
    int Scaled(int pixels) const;

    std::array<TFlashLabel*, 9> items_{};
    QLabel* categoryCaption_;
    QLabel* artistCaption_;
    QLabel* titleCaption_;
    QLabel* titleWord_;
    QLabel* ofWord_;
    QLabel* inProgramWord_;
    QTimer* statePoll_ = nullptr;
    tunquil::NowPlaying* model_ = nullptr;
    std::function<int()> mode_;
    std::function<bool()> busy_;
};

} // namespace tunquil::ui
