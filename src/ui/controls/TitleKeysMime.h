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
    // A whole tab was dragged rather than rows of a grid or list: some targets tell them apart.
    bool fromTab = false;
};

QMimeData* MakeTitleKeysMime(const DraggedTitles& titles);
// Empty (no keys, no source) when the data is not ours or is malformed.
DraggedTitles ReadTitleKeysMime(const QMimeData* data);

} // namespace tunquil::ui
