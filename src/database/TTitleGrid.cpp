#include "database/TTitleGrid.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

namespace tunquil {

namespace {

TitleSortFields FieldsOf(const TitleRow& r) {
    return {r.categoryName, r.lastName, r.firstName, r.title, r.origin, r.duration, r.dateObtained};
}

// One compact entry per row: the first sixteen bytes of the row's key as two numbers decide
// most comparisons without touching the texts.
struct SortEntry {
    uint64_t prefix;
    uint64_t prefix2;
    uint32_t offset; // of the row's key in the key buffer
    uint32_t length;
    uint32_t total; // the whole key's length: zero bytes in a text look like padding
    uint32_t index; // the row's place before sorting; equal rows keep their order
};

char Fold(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void AppendFolded(std::string& out, std::string_view text) {
    std::size_t at = out.size();
    out.resize(at + text.size());
    char* p = out.data() + at;
    for (char c : text)
        *p++ = Fold(c);
}

uint64_t PrefixOf(const char* p, std::size_t length) {
    uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < length ? static_cast<unsigned char>(p[i]) : 0u);
    return prefix;
}

// The bits of a double as an unsigned number in the same order as the doubles.
uint64_t OrderedBits(double value) {
    if (value == 0)
        value = 0; // -0.0 and 0.0 are equal dates
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
}

} // namespace

TitleSortMode SortModeOf(TitleColumn column) {
    switch (column) {
    case TitleColumn::Category:
        return TitleSortMode::ByCategory;
    case TitleColumn::Artist:
        return TitleSortMode::ByArtist;
    case TitleColumn::Title:
        return TitleSortMode::ByTitle;
    case TitleColumn::Duration:
        return TitleSortMode::ByDuration;
    case TitleColumn::Origin:
        return TitleSortMode::ByOrigin;
    case TitleColumn::DateObtained:
        return TitleSortMode::ByDate;
    }
    return TitleSortMode::ByTitle;
}

TTitleGrid::TTitleGrid(TitleViewKind kind, const TTitleStore& store)
    : TTitleView(kind), store_(store) {}

TitleRow TTitleGrid::Row(int row) const {
    return store_.Row(rows_[row - 1].title);
}

TTitleGrid::Entry TTitleGrid::EntryOf(Handle title) const {
    return {store_.MasterKey(title),
            title,
            static_cast<int32_t>(CountedDuration(store_.Duration(title))),
            false,
            false,
            0};
}

bool TTitleGrid::Shows(Handle title) const {
    return filter_.Empty() || !search_ || search_->Matches(title, filter_);
}

bool TTitleGrid::SetRow(Handle title, int row) {
    int n = TitleCount();
    if (row == n + 1) {
        Append(title);
        return true;
    }
    if (row < 1 || row > n)
        return false;
    Entry& e = rows_[row - 1];
    total_ -= e.duration;
    const bool selected = e.selected;
    const uint32_t place = e.place;
    e = EntryOf(title);
    e.selected = selected;
    e.place = place;
    total_ += e.duration;
    sorted_ = false;
    AnnounceChanged(row, row);
    return true;
}

void TTitleGrid::Append(Handle title) {
    // A grid of one title is sorted, whatever the filter shows of it.
    const bool first = TitleCount() + HiddenCount() == 0;
    if (Filtered() && !Shows(title)) {
        Entry e = EntryOf(title);
        e.hidden = true;
        e.place = nextPlace_++;
        hidden_.push_back(e);
        hiddenTotal_ += e.duration;
        sorted_ = first;
        return;
    }
    int n = TitleCount();
    // An empty grid still shows one row: the first title fills it instead of adding a row.
    if (n > 0)
        AnnounceAboutToInsert(n + 1, n + 1);
    rows_.push_back(EntryOf(title));
    rows_.back().place = nextPlace_++;
    total_ += rows_.back().duration;
    if (n > 0)
        AnnounceInserted();
    else
        AnnounceChanged(1, 1);
    sorted_ = first;
}

int TTitleGrid::SortedPlace(const TitleRow& row, int skipRow) const {
    TitleSortMode mode = SortMode();
    TitleSortFields fields = FieldsOf(row);
    // upper_bound over the rows other than `skipRow`, counted as if it were gone.
    int lo = 0, hi = TitleCount() - 1;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        int actual = mid + 1 >= skipRow ? mid + 2 : mid + 1;
        int order = CompareTitles(mode, fields, FieldsOf(Row(actual)));
        if (descending_ ? order > 0 : order < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo + 1;
}

void TTitleGrid::Add(Handle title, bool sort) {
    const bool wasSorted = sorted_;
    Append(title);
    if (!sort || TitleCount() + HiddenCount() < 2)
        return;
    const int32_t key = store_.MasterKey(title);
    OrderAllRows([&] {
        if (wasSorted) {
            const int last = TitleCount();
            MoveRow(last, SortedPlace(store_.Row(title), last));
            sorted_ = true;
        } else {
            SortRows();
        }
    });
    const int place = FindRow(key);
    if (place > 0)
        SetPosition(CurrentRow(), std::max(1, place - 3));
}

void TTitleGrid::Update(Handle title, bool sort) {
    const int32_t key = store_.MasterKey(title);
    const int32_t counted = static_cast<int32_t>(CountedDuration(store_.Duration(title)));
    int row = FindRow(key);
    auto hidden = std::find_if(hidden_.begin(), hidden_.end(),
                               [key](const Entry& h) { return h.masterKey == key; });
    if (row < 0 && hidden == hidden_.end())
        return;
    const bool shows = Shows(title);
    if (row > 0) {
        Entry& e = rows_[row - 1];
        total_ += counted - e.duration;
        e.title = title;
        e.duration = counted;
        if (shows) {
            AnnounceChanged(row, row);
        } else {
            // Changed out of the filter's reach: set aside like the rows the filter hid.
            Entry aside = e;
            aside.selected = false;
            Remove(key);
            Hide(aside);
        }
    } else {
        hiddenTotal_ += counted - hidden->duration;
        hidden->title = title;
        hidden->duration = counted;
        if (shows)
            ShowHidden(hidden);
    }
    if (!sort) {
        sorted_ = false;
        return;
    }
    if (TitleCount() + HiddenCount() >= 2)
        OrderAllRows([&] {
            if (sorted_) {
                const int at = FindRow(key);
                MoveRow(at, SortedPlace(store_.Row(title), at));
            } else {
                SortRows();
            }
        });
    if (!shows)
        return;
    int current = CurrentRow();
    int rows = RowCount();
    int top = current - VisibleRows() / 2;
    top = std::min(top, rows - VisibleRows() + 1);
    SetPosition(current, std::max(1, top));
}

// A row set aside that the filter lets through now goes among the shown ones by its place.
void TTitleGrid::ShowHidden(std::vector<Entry>::iterator hidden) {
    Entry shown = *hidden;
    shown.hidden = false;
    hiddenTotal_ -= shown.duration;
    hidden_.erase(hidden);
    const auto at =
        std::upper_bound(rows_.begin(), rows_.end(), shown.place,
                         [](uint32_t place, const Entry& e) { return place < e.place; });
    const int row = static_cast<int>(at - rows_.begin()) + 1;
    const int n = TitleCount();
    if (n > 0)
        AnnounceAboutToInsert(row, row);
    rows_.insert(at, shown);
    total_ += shown.duration;
    if (n > 0) {
        AnnounceInserted();
        if (CurrentRow() >= row)
            SetPosition(CurrentRow() + 1, TopRow());
    } else {
        AnnounceChanged(1, 1);
    }
}

void TTitleGrid::OrderAllRows(const std::function<void()>& reorder) {
    if (hidden_.empty()) {
        reorder();
        // A filter that lets every row through may set some aside later: by their places.
        if (Filtered())
            RenumberPlaces();
        return;
    }
    // The rows set aside take part: the order is that of all rows, as it would be without
    // the filter, and the shown rows are taken out of it again afterwards.
    const int32_t currentKey = HasRecord(CurrentRow()) ? MasterKey(CurrentRow()) : 0;
    const int top = TopRow();
    BeginUpdate();
    AnnounceAboutToReset();
    std::vector<Entry> all;
    all.reserve(rows_.size() + hidden_.size());
    std::merge(rows_.begin(), rows_.end(), hidden_.begin(), hidden_.end(), std::back_inserter(all),
               [](const Entry& a, const Entry& b) { return a.place < b.place; });
    rows_ = std::move(all);
    hidden_.clear();
    reorder();
    std::vector<Entry> shown;
    shown.reserve(rows_.size());
    nextPlace_ = 0;
    for (Entry& e : rows_) {
        e.place = nextPlace_++;
        (e.hidden ? hidden_ : shown).push_back(e);
    }
    rows_ = std::move(shown);
    EndUpdate();
    const int current = currentKey ? FindRow(currentKey) : CurrentRow();
    SetPosition(std::max(1, current), top);
    ClampPosition();
}

// Moves a row so that it becomes row `target`; the current row follows its title.
void TTitleGrid::MoveRow(int from, int target) {
    if (target == from)
        return;
    int current = CurrentRow();
    AnnounceAboutToRemove(from, from);
    Entry moved = rows_[from - 1];
    rows_.erase(rows_.begin() + (from - 1));
    AnnounceRemoved();
    AnnounceAboutToInsert(target, target);
    rows_.insert(rows_.begin() + (target - 1), moved);
    AnnounceInserted();
    if (current == from)
        current = target;
    else if (from < current && current <= target)
        --current;
    else if (target <= current && current < from)
        ++current;
    SetPosition(current, TopRow());
}

bool TTitleGrid::Remove(int32_t masterKey) {
    int row = FindRow(masterKey);
    if (row < 0) {
        auto hidden = std::find_if(hidden_.begin(), hidden_.end(), [masterKey](const Entry& h) {
            return h.masterKey == masterKey;
        });
        if (hidden == hidden_.end())
            return false;
        hiddenTotal_ -= hidden->duration;
        hidden_.erase(hidden);
        return true;
    }
    total_ -= rows_[row - 1].duration;
    if (TitleCount() == 1) {
        rows_.clear();
        AnnounceChanged(1, 1);
    } else {
        AnnounceAboutToRemove(row, row);
        rows_.erase(rows_.begin() + (row - 1));
        AnnounceRemoved();
        if (CurrentRow() > row)
            SetPosition(CurrentRow() - 1, TopRow());
    }
    ClampPosition();
    return true;
}

int TTitleGrid::RemoveRows(const std::vector<int32_t>& masterKeys, IHost* progress) {
    if (masterKeys.size() == 1)
        return Remove(masterKeys.front()) ? 1 : 0;
    std::unordered_set<int32_t> keys(masterKeys.begin(), masterKeys.end());
    const std::size_t hiddenBefore = hidden_.size();
    std::erase_if(hidden_, [&](const Entry& e) {
        if (keys.count(e.masterKey) == 0)
            return false;
        hiddenTotal_ -= e.duration;
        return true;
    });
    const int hiddenGone = static_cast<int>(hiddenBefore - hidden_.size());
    std::size_t before = rows_.size();
    bool any = std::any_of(rows_.begin(), rows_.end(),
                           [&](const Entry& e) { return keys.count(e.masterKey) != 0; });
    if (!any)
        return hiddenGone;
    AnnounceAboutToReset();
    std::size_t done = 0, kept = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Entry& e = rows_[i];
        if (keys.count(e.masterKey) != 0) {
            total_ -= e.duration;
            if (progress && ++done % 1000 == 0)
                progress->Progress(static_cast<int>(done * 100 / masterKeys.size()), "");
        } else {
            rows_[kept++] = e;
        }
    }
    rows_.resize(kept);
    AnnounceReset();
    ClampPosition();
    return static_cast<int>(before - kept);
}

void TTitleGrid::Clear() {
    if (rows_.empty())
        return;
    AnnounceAboutToReset();
    rows_.clear();
    total_ = 0;
    sorted_ = true;
    hidden_.clear();
    hiddenTotal_ = 0;
    nextPlace_ = 0;
    AnnounceReset();
    SetPosition(1, 1);
}

void TTitleGrid::Sort(int column, bool descending) {
    if (!Sortable() || column < 0 || column >= ColumnCount())
        return;
    previousSortColumn_ = sortColumn_;
    sortColumn_ = column;
    descending_ = descending;
    if (TitleCount() + HiddenCount() < 2)
        return;

    // The current row, when it is in sight, comes back at the same height.
    int current = CurrentRow();
    int32_t currentKey = 0;
    int distance = -1;
    if (HasRecord(current) && current >= TopRow() && current < TopRow() + VisibleRows()) {
        currentKey = MasterKey(current);
        distance = current - TopRow();
    }
    OrderAllRows([this] { SortRows(); });
    if (distance >= 0) {
        int row = FindRow(currentKey);
        StoreSelectedFlag(row, true);
        AnnounceSelection();
        SetPosition(row, std::max(1, row - distance));
    }
}

void TTitleGrid::TakeSortedOrder(const std::vector<Handle>& titles, int column, bool descending) {
    if (column < 0 || column >= ColumnCount())
        return;
    previousSortColumn_ = sortColumn_;
    sortColumn_ = column;
    descending_ = descending;
    AnnounceAboutToReset();
    rows_.clear();
    total_ = 0;
    hidden_.clear();
    hiddenTotal_ = 0;
    nextPlace_ = 0;
    for (Handle title : titles) {
        Entry e = EntryOf(title);
        e.place = nextPlace_++;
        if (Shows(title)) {
            rows_.push_back(e);
            total_ += e.duration;
        } else {
            e.hidden = true;
            hidden_.push_back(e);
            hiddenTotal_ += e.duration;
        }
    }
    sorted_ = true;
    AnnounceReset();
    ClampPosition();
}

void TTitleGrid::SortAgain() {
    if (!sorted_ && TitleCount() + HiddenCount() >= 2)
        OrderAllRows([this] { SortRows(); });
}

void TTitleGrid::SortRows() {
    const std::size_t n = rows_.size();
    const TitleSortMode mode = SortMode();
    std::vector<SortEntry> entries(n);
    std::string keys;
    const bool textual = mode != TitleSortMode::ByDuration && mode != TitleSortMode::ByDate;
    if (textual)
        keys.reserve(n * 40);

    for (std::size_t i = 0; i < n; ++i) {
        SortEntry& e = entries[i];
        e.index = static_cast<uint32_t>(i);
        e.offset = static_cast<uint32_t>(keys.size());
        e.length = 0;
        e.total = 0;
        e.prefix2 = 0;
        TitleRow r = store_.Row(rows_[i].title);
        switch (mode) {
        case TitleSortMode::ByDuration:
            e.prefix = static_cast<uint64_t>(int64_t{r.duration} - INT32_MIN);
            continue;
        case TitleSortMode::ByDate:
            e.prefix = ~OrderedBits(r.dateObtained); // newest first
            continue;
        case TitleSortMode::ByCategory:
            // Fields joined by a zero byte compare as the tuple of fields: a shorter field
            // ends with the zero and so sorts before every longer one it begins.
            AppendFolded(keys, r.categoryName);
            keys.push_back('\0');
            [[fallthrough]];
        case TitleSortMode::ByArtist:
            AppendFolded(keys, r.lastName);
            keys.push_back('\0');
            AppendFolded(keys, r.firstName);
            keys.push_back('\0');
            [[fallthrough]];
        case TitleSortMode::ByTitle:
            AppendFolded(keys, r.title);
            break;
        case TitleSortMode::ByOrigin:
            AppendFolded(keys, r.origin);
            break;
        }
        e.length = static_cast<uint32_t>(keys.size() - e.offset);
    }

    if (textual && n > 0) {
        // Origins mostly start with the same folders: the prefix numbers only tell rows apart
        // when they start after what all keys share.
        const char* base = keys.data();
        std::size_t common = entries[0].length;
        for (std::size_t i = 1; i < n && common > 0; ++i) {
            std::size_t limit = std::min<std::size_t>(common, entries[i].length);
            std::size_t k = 0;
            while (k < limit && base[entries[0].offset + k] == base[entries[i].offset + k])
                ++k;
            common = k;
        }
        for (SortEntry& e : entries) {
            const char* key = base + e.offset + common;
            std::size_t length = e.length - common;
            e.total = e.length;
            e.prefix = PrefixOf(key, length);
            e.prefix2 = length > 8 ? PrefixOf(key + 8, length - 8) : 0;
            // What the numbers hold need not be compared again.
            std::size_t skip = std::min<std::size_t>(length, 16);
            e.offset += static_cast<uint32_t>(common + skip);
            e.length -= static_cast<uint32_t>(common + skip);
        }
    }

    const char* base = keys.data();
    auto order = [base](const SortEntry& a, const SortEntry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        if (a.prefix2 != b.prefix2)
            return a.prefix2 < b.prefix2 ? -1 : 1;
        if (a.length != 0 || b.length != 0) {
            int c = std::string_view(base + a.offset, a.length)
                        .compare(std::string_view(base + b.offset, b.length));
            if (c != 0)
                return c < 0 ? -1 : 1;
        }
        if (a.total != b.total)
            return a.total < b.total ? -1 : 1;
        return 0;
    };
    // Equal rows keep their order either way.
    std::sort(entries.begin(), entries.end(),
              [order, descending = descending_](const SortEntry& a, const SortEntry& b) {
                  int c = order(a, b);
                  if (c != 0)
                      return descending ? c > 0 : c < 0;
                  return a.index < b.index;
              });

    AnnounceAboutToReset();
    std::vector<Entry> sorted(n);
    int current = CurrentRow(), newCurrent = current;
    for (std::size_t i = 0; i < n; ++i) {
        sorted[i] = rows_[entries[i].index];
        if (static_cast<int>(entries[i].index) + 1 == current)
            newCurrent = static_cast<int>(i) + 1;
    }
    rows_ = std::move(sorted);
    sorted_ = true;
    AnnounceReset();
    SetPosition(newCurrent, TopRow());
}

// --- the filter ---

void TTitleGrid::Hide(const Entry& e) {
    auto at = std::upper_bound(hidden_.begin(), hidden_.end(), e.place,
                               [](uint32_t place, const Entry& h) { return place < h.place; });
    Entry aside = e;
    aside.hidden = true;
    hidden_.insert(at, aside);
    hiddenTotal_ += e.duration;
}

void TTitleGrid::RenumberPlaces() {
    nextPlace_ = 0;
    for (Entry& e : rows_)
        e.place = nextPlace_++;
}

void TTitleGrid::MergeHidden() {
    if (hidden_.empty())
        return;
    std::vector<Entry> all;
    all.reserve(rows_.size() + hidden_.size());
    std::merge(rows_.begin(), rows_.end(), hidden_.begin(), hidden_.end(), std::back_inserter(all),
               [](const Entry& a, const Entry& b) { return a.place < b.place; });
    for (Entry& e : all)
        e.hidden = false;
    rows_ = std::move(all);
    total_ += hiddenTotal_;
    hidden_.clear();
    hiddenTotal_ = 0;
}

void TTitleGrid::SetFilter(const SearchQuery& query, TitleSearch& search) {
    search_ = &search;
    if (query.Needles() == filter_.Needles())
        return;
    const int32_t currentKey = HasRecord(CurrentRow()) ? MasterKey(CurrentRow()) : 0;
    // Typing on narrows what is shown: only the shown rows need a look.
    const bool narrowing = filter_.NarrowedBy(query);
    BeginUpdate();
    AnnounceAboutToReset();
    if (!narrowing)
        MergeHidden();
    if (hidden_.empty())
        RenumberPlaces();
    filter_ = query;
    if (!filter_.Empty()) {
        const std::vector<uint8_t>& hits = search.MatchAll(filter_);
        std::vector<Entry> setAside;
        std::size_t kept = 0;
        for (Entry& e : rows_) {
            if (e.title < hits.size() && hits[e.title]) {
                rows_[kept++] = e;
                continue;
            }
            e.selected = false;
            e.hidden = true;
            total_ -= e.duration;
            hiddenTotal_ += e.duration;
            setAside.push_back(e);
        }
        rows_.resize(kept);
        auto byPlace = [](const Entry& a, const Entry& b) { return a.place < b.place; };
        const auto middle = static_cast<std::ptrdiff_t>(hidden_.size());
        hidden_.insert(hidden_.end(), setAside.begin(), setAside.end());
        std::inplace_merge(hidden_.begin(), hidden_.begin() + middle, hidden_.end(), byPlace);
    }
    AnnounceReset();
    EndUpdate();

    const int row = currentKey ? FindRow(currentKey) : -1;
    if (row > 0) {
        if (SelectedCount() == 0)
            StoreSelectedFlag(row, true);
        SetPosition(row, std::max(1, row - VisibleRows() / 2));
        AnnounceSelection();
    } else {
        SelectOnly(HasRecord(1) ? 1 : 0);
        SetPosition(1, 1);
    }
    RefreshSummary();
}

} // namespace tunquil
