#include "ui/controls/AppIcon.h"

// The icon's pictures are compiled into the GUI library, which is static: nothing would pull
// them into the program unless asked for by name.
static void InitIconResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(tunquil_icon);
        return true;
    }();
    (void)done;
}

namespace tunquil::ui {

QIcon AppIcon() {
    InitIconResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/icons/tunquil-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace tunquil::ui
