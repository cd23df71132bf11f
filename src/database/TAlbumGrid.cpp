#include "database/TAlbumGrid.h"

namespace tunquil {

TAlbumGrid::TAlbumGrid(const TAlbList& albums, int32_t albumKey)
    : TTitleView(TitleViewKind::Album), albums_(albums), albumKey_(albumKey) {
    selected_.resize(TitleCount(), 0);
}

const std::vector<TitleRecord>* TAlbumGrid::Entries() const {
    const auto& items = albums_.Items();
    // Albums come and go and the list is re-sorted when saved; the cached place is checked
    // before it is trusted.
    if (index_ < items.size() && items[index_].record.albumKey == albumKey_)
        return &items[index_].entries;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].record.albumKey == albumKey_) {
            index_ = i;
            return &items[i].entries;
        }
    return nullptr;
}

int TAlbumGrid::TitleCount() const {
    const auto* entries = Entries();
    return entries ? static_cast<int>(entries->size()) : 0;
}

TitleRow TAlbumGrid::Row(int row) const {
    TitleRow r = RowOf((*Entries())[row - 1]);
    r.albumKey = albumKey_;
    return r;
}

int64_t TAlbumGrid::TotalDuration() const {
    int64_t total = 0;
    if (const auto* entries = Entries())
        for (const TitleRecord& e : *entries)
            total += CountedDuration(e.duration);
    return total;
}

void TAlbumGrid::EntriesChanged() {
    AnnounceAboutToReset();
    selected_.assign(TitleCount(), 0);
    AnnounceReset();
    ClampPosition();
}

bool TAlbumGrid::SelectedFlag(int row) const {
    return row >= 1 && row <= static_cast<int>(selected_.size()) && selected_[row - 1];
}

void TAlbumGrid::StoreSelectedFlag(int row, bool selected) {
    if (row >= 1 && row <= static_cast<int>(selected_.size()))
        selected_[row - 1] = selected ? 1 : 0;
}

} // namespace tunquil
