#include "ui/controls/ControlStyle.h"

#include <QVariant>

namespace tunquil::ui {

void SetHint(QWidget* w, const QString& hint, int helpContext) {
    QString shortPart = hint.section('|', 0, 0);
    QString longPart = hint.contains('|') ? hint.section('|', 1) : hint;
    w->setProperty("hint", hint);
    w->setToolTip(shortPart);
    w->setStatusTip(longPart);
    w->setAccessibleName(shortPart.isEmpty() ? longPart : shortPart);
    w->setAccessibleDescription(longPart);
    if (helpContext > 0)
        w->setProperty("helpContext", helpContext);
}

QFrame* LoweredFrame(QWidget* parent, int bevel) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(bevel);
    return frame;
}

} // namespace tunquil::ui
