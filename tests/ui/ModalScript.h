#pragma once
// Answers the modal boxes a command opens, one step per box in the order they come up. Each
// step must close its box (or leave it up for the next step only when the box stays by design).

#include "ui/controls/TMessageDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tunquil::test {

class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalScript(std::vector<Step> steps) : steps_(steps.begin(), steps.end()) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
        poll_.start(2);
    }
    // Steps that never ran: their boxes did not come up.
    int Left() const { return static_cast<int>(steps_.size()); }

    // A step that records the message box's text and presses `button`.
    static Step Answer(tunquil::TMsgDlgBtn button, std::vector<std::string>* texts = nullptr) {
        return [button, texts](QWidget* box) {
            auto* message = qobject_cast<ui::TMessageBox*>(box);
            if (!message) {
                box->close();
                return;
            }
            if (texts)
                texts->push_back(message->TextLabel()->text().toStdString());
            if (QAbstractButton* b = message->Button(button))
                b->click();
            else
                message->reject();
        };
    }

private:
    void Poll() {
        QWidget* box = QApplication::activeModalWidget();
        if (box != handled_)
            handled_.clear(); // the box handled last is gone: the next one may come
        if (!box || handled_ || steps_.empty())
            return;
        handled_ = box;
        Step step = steps_.front();
        steps_.pop_front();
        step(box);
    }

    std::deque<Step> steps_;
    QTimer poll_;
    QPointer<QWidget> handled_;
};

} // namespace tunquil::test
