#pragma once
// How the views follow the database: the title store and the lists announce each change of the
// titles they hold, and the view models apply it. Every method has an empty default so an
// observer listens only to what it shows.

#include "database/TitleRecord.h"

#include <cstdint>
#include <vector>

namespace tunquil {

class IDatabaseObserver {
public:
    virtual ~IDatabaseObserver() = default;

    // A new live title. `batch`: append without sorting; the caller refreshes summaries later.
    virtual void TitleAdded(const TitleRecord& record, bool batch) {
        (void)record;
        (void)batch;
    }
    // A live title's information changed (title, names, category, duration). `resort` is false
    // in a batch and for a new duration, which keeps the row where it is.
    virtual void TitleChanged(const TitleRecord& before, const TitleRecord& after, bool resort) {
        (void)before;
        (void)after;
        (void)resort;
    }
    // Live titles were marked deleted; their rows go from the all-titles and category views.
    virtual void TitlesDeleted(const std::vector<TitleRecord>& records) { (void)records; }
    // A category was added, renamed or removed (its titles are announced separately).
    virtual void CategoriesChanged() {}
    // An album was added, renamed, merged or removed.
    virtual void AlbumsChanged() {}
    // The entries of one album changed (inserted, removed, rebuilt).
    virtual void AlbumEntriesChanged(int32_t albumKey) { (void)albumKey; }
};

} // namespace tunquil
