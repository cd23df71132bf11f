#pragma once
// Titles dragged between Tunquil's own controls: the master keys of the titles, in order, with
// where they come from (a category grid or an album list). The keys are taken when the drag
// starts, so a drop carries the titles the user chose even when the rows moved meanwhile.

#include "app/PlayProgram.h"

#include <QString>
#include <cstdint>
#include <vector>

class QMimeData;

namespace tunquil::ui {

inline const QString kTitleKeysMimeType = QStringLiteral("application/x-tunquil-title-keys");

struct DraggedTitles {
    SelectionSource source = SelectionSource::None;
    std::vector<int32_t> keys;
    // Dragged by a tab (a whole category or album) rather than from a grid or the album list;
    // a tab of an empty category still names its category, so it may carry no keys.
    bool fromTab = false;
};

QMimeData* MakeTitleKeysMime(const DraggedTitles& titles);
// Empty (no keys, no source) when the data is not ours or is malformed, or carries no keys
// and does not come from a tab.
DraggedTitles ReadTitleKeysMime(const QMimeData* data);

} // namespace tunquil::ui
