#pragma once
// The program's icon at every size drawn for it, for the windows and the About box.

#include <QIcon>

namespace tunquil::ui {

QIcon AppIcon();

} // namespace tunquil::ui
