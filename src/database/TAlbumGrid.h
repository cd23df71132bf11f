#pragma once
// An album's grid: the album's entries in its own order, read from the album list. Never
// sorted; the album list changes the entries and the grid follows when told.

#include "base/SearchText.h"
#include "database/TAlbList.h"
#include "database/TTitleView.h"

#include <cstdint>
#include <vector>

namespace tunquil {

class TAlbumGrid : public TTitleView {
public:
    TAlbumGrid(const TAlbList& albums, int32_t albumKey);

    int32_t AlbumKey() const { return albumKey_; }
    int TitleCount() const override;
    TitleRow Row(int row) const override;
    int64_t TotalDuration() const override;

    // The album list changed the entries: rows are read again and the selection cleared.
    void EntriesChanged();

    // Shows only the entries the query matches (every entry for an empty query), in the
    // album's order; the first becomes current and selected.
    void SetFilter(const SearchQuery& query);
    const SearchQuery& Filter() const { return filter_; }
    bool Filtered() const override { return !filter_.Empty(); }
    int HiddenCount() const override;
    int64_t HiddenDuration() const override;
    // The place in the album (0-based) of the entry a row shows.
    int EntryIndex(int row) const { return Filtered() ? shown_[row - 1] : row - 1; }

protected:
    bool SelectedFlag(int row) const override;
    void StoreSelectedFlag(int row, bool selected) override;

private:
    // The album's entries, or null once the album is gone.
    const std::vector<TitleRecord>* Entries() const;

    const TAlbList& albums_;
    int32_t albumKey_;
    mutable std::size_t index_ = 0; // where the album stood in the list when last looked up
    std::vector<char> selected_;
    SearchQuery filter_;
    std::vector<int> shown_; // the entries a filter lets through, by place
    void FindShown();
};

} // namespace tunquil
