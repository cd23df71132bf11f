#pragma once
// An album's grid: the album's entries in its own order, read from the album list. Never
// sorted; the album list changes the entries and the grid follows when told.

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
};

} // namespace tunquil
