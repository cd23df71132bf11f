#pragma once
// The views of the database: the all-titles grid, one grid per category (in tab order) and one
// per album. They follow the database and the lists as their observer, so every operation on
// titles, categories and albums reaches them; the windows only show them.

#include "base/Host.h"
#include "database/DatabaseObserver.h"
#include "database/TAlbumGrid.h"
#include "database/TTitleGrid.h"
#include "database/TTitleStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;
class TCatList;
class TAlbList;

struct TCategoryView {
    int32_t ck = 0;
    std::string name;    // as the list had it when last looked at
    std::string caption; // of the tab
    std::string hint;
    std::unique_ptr<TTitleGrid> grid;
};

struct TAlbumView {
    int32_t albumKey = 0;
    std::string name;
    std::string caption;
    std::unique_ptr<TAlbumGrid> grid;
};

// Told when views are made or dropped, so the windows add or remove tabs.
class IViewSetObserver {
public:
    virtual ~IViewSetObserver() = default;
    virtual void CategoryViewsChanged() {}
    virtual void AlbumViewsChanged() {}
};

class TTitleViews : public IDatabaseObserver {
public:
    // Makes the view of every category of the list (in its order) and, when given, of every
    // album.
    TTitleViews(TCatList& categories, TAlbList* albums = nullptr);
    ~TTitleViews() override;
    TTitleViews(const TTitleViews&) = delete;
    TTitleViews& operator=(const TTitleViews&) = delete;

    // Follows the database's changes from now on (until destroyed).
    void Attach(TMyDB& db);

    // Fills the all-titles grid and every category grid from the live titles in slot order,
    // sorts each grid by its first column, selects the first row and refreshes every summary.
    // The host sees "Loading database..." and the progress.
    void LoadViews(const TMyDB& db, IHost* host = nullptr);
    // The same in steps, for titles that come from elsewhere.
    void BeginLoad(std::size_t expectedTitles);
    void LoadTitle(const TitleRecord& record);
    void FinishLoad();

    // After the album list was (re)loaded: views for its albums, entries read, summaries
    // refreshed.
    void AlbumsLoaded();

    TTitleGrid& AllTitles() { return allTitles_; }
    const TTitleGrid& AllTitles() const { return allTitles_; }
    const std::vector<TCategoryView>& CategoryViews() const { return categories_; }
    TTitleGrid* CategoryGrid(int32_t ck);
    const std::vector<TAlbumView>& AlbumViews() const { return albums_; }
    TAlbumGrid* AlbumGrid(int32_t albumKey);
    const TTitleStore& Store() const { return store_; }
    // The folded texts that filters of the grids search, made from the store.
    TitleSearch& Search() { return search_; }
    // Every grid, shown or not, shows only what the query matches (everything for an empty
    // one): the all-titles grid, each category's and each album's, and those made later.
    void SetFilter(const SearchQuery& query);
    const SearchQuery& Filter() const { return filter_; }

    // After a batch of adds or updates: grids that took titles unsorted are sorted by their
    // current column, and the summaries refreshed.
    void FinishBatch();
    // The all-titles summary, then each category's in list order; each category record gets
    // its title count and total duration.
    void RefreshAllSummaries();

    void AddObserver(IViewSetObserver* observer);
    void RemoveObserver(IViewSetObserver* observer);

    // --- what the database and the lists announce ---
    void TitleAdded(const TitleRecord& record, bool batch) override;
    void TitleChanged(const TitleRecord& before, const TitleRecord& after, bool resort) override;
    void TitlesDeleted(const std::vector<TitleRecord>& records) override;
    void CategoriesChanged() override;
    void AlbumsChanged() override;
    void AlbumEntriesChanged(int32_t albumKey) override;

private:
    void SyncCategories();
    void SyncAlbums();
    void RefreshCategorySummary(int32_t ck);

    TCatList& categoryList_;
    TAlbList* albumList_;
    TMyDB* db_ = nullptr;
    TTitleStore store_;
    TitleSearch search_{store_};
    SearchQuery filter_;
    TTitleGrid allTitles_;
    std::vector<TCategoryView> categories_;
    std::vector<TAlbumView> albums_;
    std::vector<IViewSetObserver*> observers_;
};

} // namespace tunquil
