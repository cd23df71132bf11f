#include "ui/app/HelpAndHints.h"

#include "ui/controls/THelpWindow.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QWidget>

namespace tunquil::ui {

HelpAndHints::HelpAndHints(QWidget* window, std::function<bool()> showAllHints)
    : window_(window), showAllHints_(std::move(showAllHints)) {
    qApp->installEventFilter(this);
}

HelpAndHints::~HelpAndHints() {
    qApp->removeEventFilter(this);
    SetOn(false);
}

void HelpAndHints::SetOn(bool on) {
    if (on == on_)
        return;
    on_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool HelpAndHints::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::ToolTip:
        if (!showAllHints_())
            return true;
        break;
    case QEvent::KeyPress:
        // Esc ends the help cursor, as a click elsewhere would.
        if (on_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            SetOn(false);
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
        if (on_ && widget && widget->window() == window_) {
            SetOn(false);
            for (QWidget* w = widget; w; w = w->parentWidget()) {
                int context = w->property("helpContext").toInt();
                if (context > 0) {
                    THelpWindow::ShowPopup(context, QCursor::pos(), window_);
                    break;
                }
            }
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tunquil::ui
