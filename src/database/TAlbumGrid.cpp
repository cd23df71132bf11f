#include "database/TAlbumGrid.h"

#include "database/TitleSearch.h"

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
    if (Filtered())
        return static_cast<int>(shown_.size());
    const auto* entries = Entries();
    return entries ? static_cast<int>(entries->size()) : 0;
}

TitleRow TAlbumGrid::Row(int row) const {
    TitleRow r = RowOf((*Entries())[EntryIndex(row)]);
    r.albumKey = albumKey_;
    return r;
}

int64_t TAlbumGrid::TotalDuration() const {
    int64_t total = 0;
    if (const auto* entries = Entries()) {
        if (Filtered())
            for (int i : shown_)
                total += CountedDuration((*entries)[i].duration);
        else
            for (const TitleRecord& e : *entries)
                total += CountedDuration(e.duration);
    }
    return total;
}

int TAlbumGrid::HiddenCount() const {
    const auto* entries = Entries();
    return Filtered() && entries ? static_cast<int>(entries->size() - shown_.size()) : 0;
}

int64_t TAlbumGrid::HiddenDuration() const {
    const auto* entries = Entries();
    if (!Filtered() || !entries)
        return 0;
    int64_t all = 0;
    for (const TitleRecord& e : *entries)
        all += CountedDuration(e.duration);
    return all - TotalDuration();
}

void TAlbumGrid::FindShown() {
    shown_.clear();
    if (const auto* entries = Entries())
        for (std::size_t i = 0; i < entries->size(); ++i)
            if (TitleMatches(RowOf((*entries)[i]), filter_))
                shown_.push_back(static_cast<int>(i));
}

void TAlbumGrid::SetFilter(const SearchQuery& query) {
    if (query.Needles() == filter_.Needles())
        return;
    AnnounceAboutToReset();
    filter_ = query;
    FindShown();
    selected_.assign(TitleCount(), 0);
    AnnounceReset();
    SelectOnly(HasRecord(1) ? 1 : 0);
    SetPosition(1, 1);
    RefreshSummary();
}

void TAlbumGrid::EntriesChanged() {
    AnnounceAboutToReset();
    if (Filtered())
        FindShown();
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
