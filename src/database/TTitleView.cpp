#include "database/TTitleView.h"

#include "database/StoredDate.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace tunquil {

std::string SummaryLine(int64_t count, int64_t totalSeconds) {
    std::string line = count == 1 ? "1 title  ---  " : std::to_string(count) + " titles  ---  ";
    return line + TimeText(totalSeconds);
}

std::string DateObtainedText(double date) {
    std::time_t t = TimeFromStoredDate(date);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[128];
    const char* format = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0 ? "%x" : "%x %X";
    std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

TTitleView::TTitleView(TitleViewKind kind) : kind_(kind) {
    switch (kind) {
    case TitleViewKind::AllTitles:
        columns_ = {TitleColumn::Category, TitleColumn::Artist, TitleColumn::Title,
                    TitleColumn::Duration, TitleColumn::Origin, TitleColumn::DateObtained};
        summary_ = "0 titles  ---  0:00";
        break;
    case TitleViewKind::Category:
        columns_ = {TitleColumn::Artist, TitleColumn::Title, TitleColumn::Duration,
                    TitleColumn::Origin, TitleColumn::DateObtained};
        summary_ = "0 titles  ---  0:00";
        break;
    case TitleViewKind::Album:
        columns_ = {TitleColumn::Artist, TitleColumn::Title, TitleColumn::Duration};
        // A new album shows the long form until its first refresh.
        summary_ = "0 titles  ---  0:00:00";
        break;
    }
}

const char* TTitleView::HeaderText(TitleColumn column) {
    switch (column) {
    case TitleColumn::Category:
        return "Category";
    case TitleColumn::Artist:
        return "Artist";
    case TitleColumn::Title:
        return "Title";
    case TitleColumn::Duration:
        return "Duration";
    case TitleColumn::Origin:
        return "Origin";
    case TitleColumn::DateObtained:
        return "Date obtained";
    }
    return "";
}

bool TTitleView::Centred(TitleColumn column) {
    return column == TitleColumn::Duration || column == TitleColumn::DateObtained;
}

int TTitleView::FindRow(int32_t masterKey) const {
    int n = TitleCount();
    for (int row = 1; row <= n; ++row)
        if (MasterKey(row) == masterKey)
            return row;
    return -1;
}

std::string TTitleView::CellText(int row, int column) const {
    std::string text;
    if (HasRecord(row) && column >= 0 && column < ColumnCount()) {
        TitleRow r = Row(row);
        switch (columns_[column]) {
        case TitleColumn::Category:
            text = r.categoryName;
            break;
        case TitleColumn::Artist:
            text = r.artist;
            break;
        case TitleColumn::Title:
            text = r.title;
            break;
        case TitleColumn::Duration:
            text = r.durationText;
            break;
        case TitleColumn::Origin:
            text = r.origin;
            break;
        case TitleColumn::DateObtained:
            text = DateObtainedText(r.dateObtained);
            break;
        }
    }
    if (column == 0 && text.empty())
        text = " ";
    return text;
}

void TTitleView::SetSelected(int row, bool selected) {
    if (!HasRecord(row) || SelectedFlag(row) == selected)
        return;
    StoreSelectedFlag(row, selected);
    AnnounceSelection();
}

void TTitleView::SelectOnly(int row) {
    int n = TitleCount();
    for (int r = 1; r <= n; ++r)
        StoreSelectedFlag(r, r == row);
    AnnounceSelection();
}

void TTitleView::ClearSelection() {
    SelectOnly(0);
}

int TTitleView::SelectedCount() const {
    int n = TitleCount(), count = 0;
    for (int r = 1; r <= n; ++r)
        count += SelectedFlag(r) ? 1 : 0;
    return count;
}

std::vector<int32_t> TTitleView::SelectedKeys() const {
    std::vector<int32_t> keys;
    int n = TitleCount();
    for (int r = 1; r <= n; ++r)
        if (SelectedFlag(r))
            keys.push_back(MasterKey(r));
    return keys;
}

void TTitleView::SelectFirst() {
    SelectOnly(RowCount() >= 2 ? 1 : 0);
    SetPosition(1, 1);
}

void TTitleView::SetCurrentRow(int row) {
    SetPosition(std::clamp(row, 1, RowCount()), topRow_);
}

void TTitleView::RefreshSummary() {
    summaryCount_ = TitleCount() + HiddenCount();
    summaryTotal_ = TotalDuration() + HiddenDuration();
    summary_ = Filtered() ? std::to_string(TitleCount()) + " of " + std::to_string(summaryCount_) +
                                " titles  ---  " + TimeText(TotalDuration())
                          : SummaryLine(summaryCount_, summaryTotal_);
    Tell([&](ITitleViewObserver& o) { o.SummaryChanged(summary_); });
}

void TTitleView::BeginUpdate() {
    ++updating_;
}

void TTitleView::EndUpdate() {
    if (updating_ == 0 || --updating_ > 0)
        return;
    if (resetPending_) {
        resetPending_ = false;
        Tell([](ITitleViewObserver& o) { o.ResetDone(); });
    }
}

void TTitleView::AddObserver(ITitleViewObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void TTitleView::RemoveObserver(ITitleViewObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

// While updating, the first change opens one reset that EndUpdate closes: a view that shows
// us must not read rows between an "about to" and its completion.
void TTitleView::AnnounceAboutToReset() {
    if (updating_ > 0) {
        if (!resetPending_) {
            resetPending_ = true;
            Tell([](ITitleViewObserver& o) { o.AboutToReset(); });
        }
        return;
    }
    Tell([](ITitleViewObserver& o) { o.AboutToReset(); });
}

void TTitleView::AnnounceReset() {
    if (updating_ == 0)
        Tell([](ITitleViewObserver& o) { o.ResetDone(); });
}

void TTitleView::AnnounceAboutToInsert(int first, int last) {
    if (updating_ > 0)
        AnnounceAboutToReset();
    else
        Tell([&](ITitleViewObserver& o) { o.RowsAboutToBeInserted(first, last); });
}

void TTitleView::AnnounceInserted() {
    if (updating_ == 0)
        Tell([](ITitleViewObserver& o) { o.RowsInserted(); });
}

void TTitleView::AnnounceAboutToRemove(int first, int last) {
    if (updating_ > 0)
        AnnounceAboutToReset();
    else
        Tell([&](ITitleViewObserver& o) { o.RowsAboutToBeRemoved(first, last); });
}

void TTitleView::AnnounceRemoved() {
    if (updating_ == 0)
        Tell([](ITitleViewObserver& o) { o.RowsRemoved(); });
}

void TTitleView::AnnounceChanged(int first, int last) {
    if (updating_ > 0)
        AnnounceAboutToReset();
    else
        Tell([&](ITitleViewObserver& o) { o.RowsChanged(first, last); });
}

void TTitleView::AnnounceSelection() {
    if (updating_ == 0)
        Tell([](ITitleViewObserver& o) { o.SelectionChanged(); });
}

void TTitleView::SetPosition(int currentRow, int topRow) {
    currentRow_ = std::max(1, currentRow);
    topRow_ = std::max(1, topRow);
    if (updating_ == 0)
        Tell([&](ITitleViewObserver& o) { o.PositionChanged(currentRow_, topRow_); });
}

void TTitleView::ClampPosition() {
    int rows = RowCount();
    if (currentRow_ > rows || topRow_ > rows)
        SetPosition(std::min(currentRow_, rows), std::min(topRow_, rows));
}

} // namespace tunquil
