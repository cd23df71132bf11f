#include "ui/app/MasterLayout.h"

#include <algorithm>
#include <numeric>

namespace tunquil::ui {

void ClampWindowSize(int& width, int& height) {
    if (width < kMinWindowWidth)
        width = kMinWindowWidth;
    if (height < 400)
        height = kMinWindowHeight;
}

std::vector<int> MusicControlLefts(int areaWidth, const std::vector<int>& widths) {
    static const int kGaps[] = {0, 5, 5, 5, 5, 30, 5, 5, 5, 5, 5, 30};
    int total = std::accumulate(widths.begin(), widths.end(), 0) + 100;
    std::vector<int> lefts;
    int left = areaWidth / 2 - total / 2;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (i > 0)
            left += widths[i - 1] + kGaps[std::min<std::size_t>(i, 11)];
        lefts.push_back(left);
    }
    return lefts;
}

DatabaseAreaLayout LayOutDatabaseArea(int width, int height, bool toolbarShown, int albumWidth) {
    DatabaseAreaLayout layout;
    const int top = toolbarShown ? 32 : 0;
    const int panelHeight = std::max(0, height - top - kPanelMargin);
    // Both panels keep their 140 pixels; when the area cannot give both, the album panel does.
    int widest = width - 2 * kPanelMargin - kSeparatorWidth - kMinPanelWidth;
    albumWidth = std::max(kMinPanelWidth, std::min(albumWidth, widest));
    layout.albumWidth = albumWidth;
    layout.albumPanel = {kPanelMargin, top, albumWidth, panelHeight};
    layout.separator = {kPanelMargin + albumWidth, top, kSeparatorWidth, panelHeight};
    int categoryLeft = layout.separator.left + kSeparatorWidth;
    layout.categoryPanel = {categoryLeft, top, std::max(0, width - categoryLeft - kPanelMargin),
                            panelHeight};
    return layout;
}

std::vector<int> MiddleGroupLefts(int areaWidth, const std::vector<int>& widths) {
    int total = std::accumulate(widths.begin(), widths.end(), 0) + 25;
    std::vector<int> lefts;
    int left = areaWidth / 2 - total / 2;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (i > 0)
            left += widths[i - 1] + 5;
        lefts.push_back(left);
    }
    return lefts;
}

int AlbumWidthAfterDrag(int albumWidth, int categoryWidth, int distance) {
    if (distance < 0)
        return std::max(kMinPanelWidth, albumWidth + distance);
    int category = std::max(kMinPanelWidth, categoryWidth - distance);
    return albumWidth + std::max(0, categoryWidth - category);
}

} // namespace tunquil::ui
