#pragma once
// The data of one grid of titles: which titles it shows and in which order, their cell texts,
// the selected rows, the current and top row, and the summary line. Rows are numbered from 1
// under the header; a grid always has at least one row, which is empty when it shows no title.
// Qt views only render this and follow its announcements.

#include "database/TTitleStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

enum class TitleColumn { Category, Artist, Title, Duration, Origin, DateObtained };
enum class TitleViewKind { AllTitles, Category, Album };

// What a view tells those that show it. Rows are grid rows (1-based). Every "about to" call is
// followed by its completion; while a view is updating (BeginUpdate) all changes arrive as one
// reset at the end.
class ITitleViewObserver {
public:
    virtual ~ITitleViewObserver() = default;
    virtual void RowsAboutToBeInserted(int first, int last) {
        (void)first;
        (void)last;
    }
    virtual void RowsInserted() {}
    virtual void RowsAboutToBeRemoved(int first, int last) {
        (void)first;
        (void)last;
    }
    virtual void RowsRemoved() {}
    virtual void AboutToReset() {}
    virtual void ResetDone() {}
    virtual void RowsChanged(int first, int last) {
        (void)first;
        (void)last;
    }
    virtual void SelectionChanged() {}
    // The current row and the row that should be shown at the top.
    virtual void PositionChanged(int currentRow, int topRow) {
        (void)currentRow;
        (void)topRow;
    }
    virtual void SummaryChanged(const std::string& text) { (void)text; }
};

// "1 title  ---  " or n + " titles  ---  ", then the total's duration text ("0:00" for none).
std::string SummaryLine(int64_t count, int64_t totalSeconds);
// The date in the short date format, then the time when it is not midnight.
std::string DateObtainedText(double date);

class TTitleView {
public:
    explicit TTitleView(TitleViewKind kind);
    virtual ~TTitleView() = default;
    TTitleView(const TTitleView&) = delete;
    TTitleView& operator=(const TTitleView&) = delete;

    TitleViewKind Kind() const { return kind_; }
    bool Sortable() const { return kind_ != TitleViewKind::Album; }
    const std::vector<TitleColumn>& Columns() const { return columns_; }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    static const char* HeaderText(TitleColumn column);
    static bool Centred(TitleColumn column);

    virtual int TitleCount() const = 0;
    int RowCount() const { return TitleCount() > 0 ? TitleCount() : 1; }
    bool HasRecord(int row) const { return row >= 1 && row <= TitleCount(); }
    // The row's record; only for rows that have one.
    virtual TitleRow Row(int row) const = 0;
    virtual int32_t MasterKey(int row) const { return Row(row).masterKey; }
    // Row of the master key, or -1.
    int FindRow(int32_t masterKey) const;
    // The text of a cell (column 0-based); an empty first cell holds one space.
    std::string CellText(int row, int column) const;
    virtual int64_t TotalDuration() const = 0;
    // A filter may hide rows: the summary then counts the shown ones against all.
    virtual bool Filtered() const { return false; }
    virtual int HiddenCount() const { return 0; }
    virtual int64_t HiddenDuration() const { return 0; }

    // --- selection (the row records' selected flags) ---
    bool Selected(int row) const { return HasRecord(row) && SelectedFlag(row); }
    void SetSelected(int row, bool selected);
    void SelectOnly(int row);
    void ClearSelection();
    int SelectedCount() const;
    // The master keys of the selected rows, in row order (the key list of a selection).
    std::vector<int32_t> SelectedKeys() const;
    // Clears the selection; row 1 becomes top and current row, and is selected when the grid
    // has at least two rows under the header.
    void SelectFirst();

    int CurrentRow() const { return currentRow_; }
    int TopRow() const { return topRow_; }
    void SetCurrentRow(int row);
    // How many rows the view shows at once; scrolling after add, update and sort uses it.
    void SetVisibleRows(int rows) { visibleRows_ = rows > 0 ? rows : 1; }
    int VisibleRows() const { return visibleRows_; }

    // --- summary ---
    // Recomputes the title count and total duration and rebuilds the summary line. The count
    // and total are of every title of the view, shown or hidden by a filter; the line of a
    // filtered view reads "N of M titles  ---  " and the duration of the N shown.
    void RefreshSummary();
    const std::string& Summary() const { return summary_; }
    int32_t SummaryCount() const { return summaryCount_; }
    int64_t SummaryTotal() const { return summaryTotal_; }

    // While many rows change, observers get one reset at the end instead of a call per row.
    void BeginUpdate();
    void EndUpdate();

    void AddObserver(ITitleViewObserver* observer);
    void RemoveObserver(ITitleViewObserver* observer);

protected:
    virtual bool SelectedFlag(int row) const = 0;
    virtual void StoreSelectedFlag(int row, bool selected) = 0;

    void AnnounceAboutToInsert(int first, int last);
    void AnnounceInserted();
    void AnnounceAboutToRemove(int first, int last);
    void AnnounceRemoved();
    void AnnounceAboutToReset();
    void AnnounceReset();
    void AnnounceChanged(int first, int last);
    void AnnounceSelection();
    void SetPosition(int currentRow, int topRow);
    // Keeps the current and top row inside the grid after rows went.
    void ClampPosition();

private:
    template <typename F> void Tell(F&& f) {
        for (ITitleViewObserver* o : observers_)
            f(*o);
    }

    TitleViewKind kind_;
    std::vector<TitleColumn> columns_;
    std::vector<ITitleViewObserver*> observers_;
    int updating_ = 0;
    bool resetPending_ = false;
    int currentRow_ = 1;
    int topRow_ = 1;
    int visibleRows_ = 20;
    std::string summary_;
    int32_t summaryCount_ = 0;
    int64_t summaryTotal_ = 0;
};

} // namespace tunquil
