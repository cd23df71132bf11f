#pragma once
// The pictures of the music controls and the database toolbar, drawn rather than loaded, so
// they stay sharp at any scale.

#include <QIcon>

namespace tunquil::ui {

enum class GlyphKind {
    Play,
    Pause,
    Stop,
    Next,
    Previous,
    Restart,
    Shuffle,
    Clear,
    View,
    Volume,
    AddPlay,
    Add,
    StopClear,
    Collapse,
    Expand,
    NewAlbum,
    Load,
    ScanDrive,
    ScanSystem,
    Edit,
    Mail,
    Archive,
    Save,
    Print,
    Delete
};

QIcon Glyph(GlyphKind kind, int size = 16);

} // namespace tunquil::ui
