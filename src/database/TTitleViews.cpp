#include "database/TTitleViews.h"

#include "base/Text.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TMyDB.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace tunquil {

namespace {

std::string CategoryCaption(const std::string& name) {
    return "  " + Trim(name) + "  ";
}
std::string CategoryHint(const std::string& name) {
    return "View all \"" + Trim(name) + "\" titles";
}
std::string NewAlbumCaption(const std::string& name) {
    return " " + Trim(name) + "         ";
}
std::string RenamedAlbumCaption(const std::string& name) {
    return "  " + name + "       ";
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

TTitleViews::TTitleViews(TCatList& categories, TAlbList* albums)
    : categoryList_(categories), albumList_(albums), allTitles_(TitleViewKind::AllTitles, store_) {
    SyncCategories();
    AlbumsLoaded();
}

TTitleViews::~TTitleViews() {
    if (db_)
        db_->RemoveObserver(this);
}

void TTitleViews::Attach(TMyDB& db) {
    if (db_)
        db_->RemoveObserver(this);
    db_ = &db;
    db_->AddObserver(this);
}

TTitleGrid* TTitleViews::CategoryGrid(int32_t ck) {
    for (TCategoryView& v : categories_)
        if (v.ck == ck)
            return v.grid.get();
    return nullptr;
}

TAlbumGrid* TTitleViews::AlbumGrid(int32_t albumKey) {
    for (TAlbumView& v : albums_)
        if (v.albumKey == albumKey)
            return v.grid.get();
    return nullptr;
}

void TTitleViews::AddObserver(IViewSetObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void TTitleViews::RemoveObserver(IViewSetObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

// --- filling ---

void TTitleViews::LoadViews(const TMyDB& db, IHost* host) {
    if (db.SlotCount() == 0)
        return;
    if (host)
        host->Status("Loading database...");
    BeginLoad(static_cast<std::size_t>(db.LiveCount()));
    const int live = db.LiveCount();
    int done = 0;
    try {
        db.ForEachLiveTitle([&](const TitleRecord& record) {
            LoadTitle(record);
            // Letting the window breathe every 20 titles keeps large databases quick to load.
            if (host && ++done % 20 == 0) {
                host->Progress(live > 0 ? static_cast<int>(int64_t{done} * 100 / live) : 100,
                               "Loading database...");
                host->ProcessEvents();
            }
        });
    } catch (...) {
        FinishLoad();
        if (host) {
            host->Status("Done");
            host->Progress(0, "");
        }
        throw;
    }
    FinishLoad();
    if (host) {
        host->Status("Done");
        host->Progress(0, "");
    }
}

void TTitleViews::BeginLoad(std::size_t expectedTitles) {
    allTitles_.BeginUpdate();
    allTitles_.Clear();
    for (TCategoryView& v : categories_) {
        v.grid->BeginUpdate();
        v.grid->Clear();
    }
    store_.Clear();
    store_.Reserve(expectedTitles, expectedTitles * 96);
    allTitles_.Reserve(expectedTitles);
}

void TTitleViews::LoadTitle(const TitleRecord& record) {
    TTitleStore::Handle h = store_.Put(record);
    allTitles_.Append(h);
    if (TTitleGrid* grid = CategoryGrid(record.ck))
        grid->Append(h);
}

void TTitleViews::FinishLoad() {
    allTitles_.EndUpdate();
    for (TCategoryView& v : categories_)
        v.grid->EndUpdate();
    allTitles_.Sort(0);
    allTitles_.SelectFirst();

    // Sorted by category, the all-titles grid holds each category's titles in artist order
    // (category name, then artist and title), ties in slot order as in the category grids. So
    // a category whose titles all carry the same name copy takes that order instead of being
    // sorted again; one with differing copies (a database from elsewhere) is sorted itself.
    struct Collected {
        std::vector<TTitleStore::Handle> titles;
        std::string_view name;
        bool sameName = true;
    };
    std::unordered_map<int32_t, Collected> byCategory;
    for (int row = 1; row <= allTitles_.TitleCount(); ++row) {
        TTitleStore::Handle h = allTitles_.TitleAt(row);
        Collected& c = byCategory[store_.Ck(h)];
        std::string_view name = store_.Row(h).categoryName;
        if (c.titles.empty())
            c.name = name;
        else if (c.sameName && name != c.name && CompareTextIgnoringCase(c.name, name) != 0)
            c.sameName = false;
        c.titles.push_back(h);
    }
    for (TCategoryView& v : categories_) {
        auto found = byCategory.find(v.ck);
        // Rows a filter set aside are not among those collected: such a grid sorts itself.
        if (found != byCategory.end() && found->second.sameName && allTitles_.HiddenCount() == 0 &&
            static_cast<int>(found->second.titles.size()) == v.grid->TitleCount())
            v.grid->TakeSortedOrder(found->second.titles, 0);
        else
            v.grid->Sort(0);
        v.grid->SelectFirst();
    }
    RefreshAllSummaries();
}

void TTitleViews::SetFilter(const SearchQuery& query) {
    filter_ = query;
    allTitles_.SetFilter(query, search_);
    for (TCategoryView& v : categories_)
        v.grid->SetFilter(query, search_);
    for (TAlbumView& v : albums_)
        v.grid->SetFilter(query);
}

// --- summaries ---

void TTitleViews::FinishBatch() {
    allTitles_.SortAgain();
    for (TCategoryView& v : categories_)
        v.grid->SortAgain();
    RefreshAllSummaries();
}

void TTitleViews::RefreshAllSummaries() {
    allTitles_.RefreshSummary();
    for (TCategoryView& v : categories_)
        RefreshCategorySummary(v.ck);
}

void TTitleViews::RefreshCategorySummary(int32_t ck) {
    TTitleGrid* grid = CategoryGrid(ck);
    if (!grid)
        return;
    grid->RefreshSummary();
    for (CategoryRecord& c : categoryList_.Items())
        if (c.ck == ck) {
            c.titleCount = grid->SummaryCount();
            c.totalDuration = ClampToInt32(grid->SummaryTotal());
        }
}

// --- changes of the titles ---

// Summaries cost nothing to refresh here (the grids keep their totals), so they are refreshed
// after every change, also within a batch.
void TTitleViews::TitleAdded(const TitleRecord& record, bool batch) {
    // A key the views still show belongs to a title deleted without telling them; its rows go
    // first, so that no key stands twice.
    if (TTitleStore::Handle old = store_.Find(record.masterKey); old != TTitleStore::kNone) {
        allTitles_.Remove(record.masterKey);
        if (TTitleGrid* grid = CategoryGrid(store_.Ck(old)))
            grid->Remove(record.masterKey);
        RefreshCategorySummary(store_.Ck(old));
        store_.Remove(old);
    }
    TTitleStore::Handle h = store_.Put(record);
    allTitles_.Add(h, !batch);
    if (TTitleGrid* grid = CategoryGrid(record.ck)) {
        grid->Add(h, !batch);
        RefreshCategorySummary(record.ck);
    }
    allTitles_.RefreshSummary();
}

void TTitleViews::TitleChanged(const TitleRecord& before, const TitleRecord& after, bool resort) {
    if (store_.Find(after.masterKey) == TTitleStore::kNone)
        return; // not a title the views show
    TTitleStore::Handle h = store_.Put(after);
    if (before.ck == after.ck) {
        if (TTitleGrid* grid = CategoryGrid(after.ck))
            grid->Update(h, resort);
    } else {
        if (TTitleGrid* old = CategoryGrid(before.ck))
            old->Remove(after.masterKey);
        if (TTitleGrid* grid = CategoryGrid(after.ck))
            grid->Add(h, resort);
        RefreshCategorySummary(before.ck);
    }
    RefreshCategorySummary(after.ck);
    allTitles_.Update(h, resort);
    allTitles_.RefreshSummary();
}

void TTitleViews::TitlesDeleted(const std::vector<TitleRecord>& records) {
    std::vector<int32_t> keys;
    std::unordered_map<int32_t, std::vector<int32_t>> keysOfCategory;
    keys.reserve(records.size());
    for (const TitleRecord& r : records) {
        TTitleStore::Handle h = store_.Find(r.masterKey);
        if (h == TTitleStore::kNone)
            continue;
        keys.push_back(r.masterKey);
        // The category the views filed it under, which is the store's.
        keysOfCategory[store_.Ck(h)].push_back(r.masterKey);
    }
    if (keys.empty())
        return;
    allTitles_.RemoveRows(keys);
    for (auto& [ck, ofCategory] : keysOfCategory)
        if (TTitleGrid* grid = CategoryGrid(ck))
            grid->RemoveRows(ofCategory);
    for (int32_t key : keys)
        store_.Remove(store_.Find(key));
    RefreshAllSummaries();
}

// --- changes of the lists ---

void TTitleViews::CategoriesChanged() {
    SyncCategories();
    RefreshAllSummaries();
}

// New categories get a view at the end (tabs keep the order in which they were made); views of
// categories that are gone are dropped; renamed ones get their new caption and hint.
void TTitleViews::SyncCategories() {
    const auto& items = categoryList_.Items();
    bool changed = false;
    // Dropped grids live until the windows were told, so that their models can let go first.
    std::vector<TCategoryView> dropped;
    for (auto it = categories_.begin(); it != categories_.end();) {
        bool known = std::any_of(items.begin(), items.end(),
                                 [&](const CategoryRecord& c) { return c.ck == it->ck; });
        if (known) {
            ++it;
        } else {
            dropped.push_back(std::move(*it));
            it = categories_.erase(it);
            changed = true;
        }
    }
    for (const CategoryRecord& c : items) {
        auto found = std::find_if(categories_.begin(), categories_.end(),
                                  [&](const TCategoryView& v) { return v.ck == c.ck; });
        if (found == categories_.end()) {
            TCategoryView v;
            v.ck = c.ck;
            v.name = c.name;
            v.caption = CategoryCaption(c.name);
            v.hint = CategoryHint(c.name);
            v.grid = std::make_unique<TTitleGrid>(TitleViewKind::Category, store_);
            v.grid->SetFilter(filter_, search_);
            categories_.push_back(std::move(v));
            changed = true;
        } else if (found->name != c.name) {
            found->name = c.name;
            found->caption = CategoryCaption(c.name);
            found->hint = CategoryHint(c.name);
            changed = true;
        }
    }
    if (changed)
        for (IViewSetObserver* o : observers_)
            o->CategoryViewsChanged();
}

void TTitleViews::AlbumsChanged() {
    SyncAlbums();
}

void TTitleViews::AlbumsLoaded() {
    SyncAlbums();
    for (TAlbumView& v : albums_) {
        v.grid->EntriesChanged();
        v.grid->RefreshSummary();
    }
}

void TTitleViews::SyncAlbums() {
    if (!albumList_)
        return;
    const auto& items = albumList_->Items();
    bool changed = false;
    std::vector<TAlbumView> dropped;
    for (auto it = albums_.begin(); it != albums_.end();) {
        bool known = std::any_of(items.begin(), items.end(), [&](const TAlbList::Album& a) {
            return a.record.albumKey == it->albumKey;
        });
        if (known) {
            ++it;
        } else {
            dropped.push_back(std::move(*it));
            it = albums_.erase(it);
            changed = true;
        }
    }
    for (const TAlbList::Album& a : items) {
        int32_t key = a.record.albumKey;
        auto found = std::find_if(albums_.begin(), albums_.end(),
                                  [&](const TAlbumView& v) { return v.albumKey == key; });
        if (found == albums_.end()) {
            TAlbumView v;
            v.albumKey = key;
            v.name = a.record.name;
            v.caption = NewAlbumCaption(a.record.name);
            v.grid = std::make_unique<TAlbumGrid>(*albumList_, key);
            v.grid->SetFilter(filter_);
            albums_.push_back(std::move(v));
            changed = true;
        } else {
            if (found->name != a.record.name) {
                found->name = a.record.name;
                found->caption = RenamedAlbumCaption(a.record.name);
                changed = true;
            }
            // A merge or a re-sort may have changed the entries without a word.
            found->grid->EntriesChanged();
            found->grid->RefreshSummary();
        }
    }
    if (changed)
        for (IViewSetObserver* o : observers_)
            o->AlbumViewsChanged();
}

void TTitleViews::AlbumEntriesChanged(int32_t albumKey) {
    if (TAlbumGrid* grid = AlbumGrid(albumKey)) {
        grid->EntriesChanged();
        grid->RefreshSummary();
    }
}

} // namespace tunquil
