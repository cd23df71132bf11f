#pragma once
// The all-titles grid and the category grids: rows that point at titles of the shared title
// store, sortable by column with the tie-breaks of the title orders.

#include "base/Host.h"
#include "database/TTitleStore.h"
#include "database/TTitleView.h"
#include "database/TitleOrder.h"
#include "database/TitleSearch.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tunquil {

TitleSortMode SortModeOf(TitleColumn column);

class TTitleGrid : public TTitleView {
public:
    using Handle = TTitleStore::Handle;

    // `kind` is AllTitles or Category.
    TTitleGrid(TitleViewKind kind, const TTitleStore& store);

    int TitleCount() const override { return static_cast<int>(rows_.size()); }
    TitleRow Row(int row) const override;
    int32_t MasterKey(int row) const override { return rows_[row - 1].masterKey; }
    int64_t TotalDuration() const override { return total_; }
    Handle TitleAt(int row) const { return rows_[row - 1].title; }

    void Reserve(std::size_t rows) { rows_.reserve(rows); }
    // Fills `row` from the title; the row after the last appends. False for any other row.
    bool SetRow(Handle title, int row);
    // Adds a row at the end (the empty row of an empty grid is filled).
    void Append(Handle title);
    // Appends; with `sort` the title goes to its place under the current sort column and the
    // grid scrolls so that it shows three rows above it.
    void Add(Handle title, bool sort);
    // Refills the row of the title's master key after the title changed in the store (nothing
    // when the grid has no such row). With `sort` the row moves to its sorted place, keeping
    // its selection, and the current row is centred.
    void Update(Handle title, bool sort);
    // Removes the row of the master key; the only row is emptied instead. False when absent.
    bool Remove(int32_t masterKey);
    // Removes the rows of all the keys at once; returns how many went.
    int RemoveRows(const std::vector<int32_t>& masterKeys, IHost* progress = nullptr);
    void Clear();

    // Sorts by a column (0-based among this grid's columns) and remembers it as the current
    // sort column; `descending` reverses the column's order, equal rows keeping theirs. Only a
    // grid of two or more titles is reordered.
    void Sort(int column, bool descending = false);
    bool Descending() const { return descending_; }
    // The rows become `titles`, which the caller knows to be in the order of `column`, reversed
    // when `descending` (the grid's own titles, each once). Spares a sort when that order is
    // known already.
    void TakeSortedOrder(const std::vector<Handle>& titles, int column, bool descending = false);
    // Sorts by the current column when rows came in unsorted since the last sort.
    void SortAgain();
    int SortColumn() const { return sortColumn_; }

    // Shows only the titles the query matches (every title for an empty query). The other rows
    // are set aside, unselected, and come back in their order when the query allows them again;
    // titles added or changed meanwhile are shown or set aside as they match. Sorts and sorted
    // adds and changes meanwhile order all rows, so the grid is the same as had it never been
    // filtered. The current title stays current while it is shown; otherwise the first match
    // becomes current and selected.
    void SetFilter(const SearchQuery& query, TitleSearch& search);
    const SearchQuery& Filter() const { return filter_; }
    bool Filtered() const override { return !filter_.Empty(); }
    int HiddenCount() const override { return static_cast<int>(hidden_.size()); }
    int64_t HiddenDuration() const override { return hiddenTotal_; }
    int PreviousSortColumn() const { return previousSortColumn_; }
    TitleSortMode SortMode() const { return SortModeOf(Columns()[sortColumn_]); }

protected:
    bool SelectedFlag(int row) const override { return rows_[row - 1].selected; }
    void StoreSelectedFlag(int row, bool selected) override { rows_[row - 1].selected = selected; }

private:
    struct Entry {
        int32_t masterKey;
        Handle title;
        int32_t duration; // counted as last filled, so the total follows changes of the title
        bool selected;
        bool hidden;    // set aside by the filter
        uint32_t place; // in the order of all rows, shown or not: rows_ and hidden_ keep it
    };
    bool Shows(Handle title) const;
    // Puts the hidden rows back among the shown ones, in the order of all rows.
    void MergeHidden();
    // The shown rows' places become their row numbers (with none set aside).
    void RenumberPlaces();
    void Hide(const Entry& e);
    void ShowHidden(std::vector<Entry>::iterator hidden);
    // Runs `reorder` over the rows; while some are set aside, over all of them in their order,
    // announced as one reset, the current title staying current.
    void OrderAllRows(const std::function<void()>& reorder);
    Entry EntryOf(Handle title) const;
    // Where row `skipRow`, holding these fields, belongs among the other rows (after its
    // equals), as its row number once moved there.
    int SortedPlace(const TitleRow& row, int skipRow) const;
    void SortRows();
    void MoveRow(int from, int to);

    const TTitleStore& store_;
    std::vector<Entry> rows_;
    int64_t total_ = 0;
    int sortColumn_ = 0;
    int previousSortColumn_ = 0;
    bool descending_ = false;
    bool sorted_ = true; // rows are in the order of the current sort column
    SearchQuery filter_;
    TitleSearch* search_ = nullptr;
    std::vector<Entry> hidden_; // rows the filter sets aside, by place
    int64_t hiddenTotal_ = 0;
    uint32_t nextPlace_ = 0;
};

} // namespace tunquil
