#pragma once
// Where the main window's parts go, as plain arithmetic on pixel sizes (at 96 dots per inch;
// the window scales them), so that the rules a user sees can be checked without a screen.

#include <vector>

namespace tunquil::ui {

constexpr int kMinWindowWidth = 520;
constexpr int kMinWindowHeight = 380;
constexpr int kMinPanelWidth = 140;
constexpr int kSeparatorWidth = 5;
constexpr int kPanelMargin = 5;

// A width below 520 becomes 520; a height below 400 becomes 380 (the window may be lower than
// the threshold that triggers the rule, as it always was).
void ClampWindowSize(int& width, int& height);

// The lefts of the music controls, in toolbar order (PlayReplace, Play, view, shuffle, clear,
// previous, next, restart, pause, stop, stop-and-clear, volume), centred in `areaWidth`.
std::vector<int> MusicControlLefts(int areaWidth, const std::vector<int>& widths);

struct PanelGeometry {
    int left = 0, top = 0, width = 0, height = 0;
};

struct DatabaseAreaLayout {
    PanelGeometry albumPanel, separator, categoryPanel;
    int albumWidth = 0; // the album panel's width as it now stands
};

// The album panel, separator and category panel in an area of `width` by `height`. The album
// panel keeps `albumWidth` unless the category panel would then be narrower than 140 pixels (a
// saved width wider than the window) or the album panel itself narrower than 140.
DatabaseAreaLayout LayOutDatabaseArea(int width, int height, bool toolbarShown, int albumWidth);

// The lefts of the middle toolbar group (EditCat ... TrashCat), centred in `areaWidth`.
std::vector<int> MiddleGroupLefts(int areaWidth, const std::vector<int>& widths);

// The album panel's width after the separator was dragged by `distance` pixels (negative to the
// left): the panel that shrinks keeps at least 140 pixels and the other takes what it gives.
int AlbumWidthAfterDrag(int albumWidth, int categoryWidth, int distance);

} // namespace tunquil::ui
