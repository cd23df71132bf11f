#include "ui/controls/TDropButton.h"

#include <QDragEnterEvent>
#include <QDropEvent>

namespace tunquil::ui {

TDropButton::TDropButton(QWidget* parent) : QToolButton(parent) {
    setAcceptDrops(true);
}

bool TDropButton::Takes(const QMimeData* data) const {
    return (!accepting || accepting()) && ReadTitleKeysMime(data).source != SelectionSource::None;
}

void TDropButton::dragEnterEvent(QDragEnterEvent* event) {
    if (Takes(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TDropButton::dragMoveEvent(QDragMoveEvent* event) {
    if (Takes(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TDropButton::dropEvent(QDropEvent* event) {
    if (!Takes(event->mimeData()) || !onDrop || !onDrop(ReadTitleKeysMime(event->mimeData()))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

} // namespace tunquil::ui
