#pragma once
// The album list: one row per album with its title count and duration, in report style (grid
// lines, full-row selection) or as large icons. Several albums can be selected; dragging starts
// at once and carries the titles of the selected albums.

#include "ui/controls/TitleKeysMime.h"

#include <QStackedWidget>
#include <functional>
#include <vector>

class QListWidget;
class QTreeWidget;

namespace tunquil::ui {

struct AlbumListRow {
    QString name;
    QString titles;
    QString duration;
};

class TExtListView : public QStackedWidget {
    Q_OBJECT
public:
    explicit TExtListView(QWidget* parent = nullptr);

    void SetRows(const std::vector<AlbumListRow>& rows);
    int RowCount() const;
    QString Cell(int row, int column) const;
    void SetReportStyle(bool report);
    bool ReportStyle() const;
    // Indexes of the selected albums, in list order.
    std::vector<int> SelectedRows() const;
    void SelectRow(int row);
    // The titles of the albums at these indexes, for drags.
    std::function<std::vector<int32_t>(const std::vector<int>&)> titlesOf;
    // Titles dropped on the album at `row`; false refuses. Unset, the list takes no drops.
    std::function<bool(int row, const DraggedTitles&)> onDrop;
    // Whether titles from this source would be taken now (asked while dragging over a row).
    std::function<bool(const DraggedTitles&)> accepting;
    // The album row under a point of the shown view's viewport, -1 for none.
    int RowAt(const QPoint& viewportPos) const;

    QTreeWidget* Report() const { return report_; }
    QListWidget* Icons() const { return icons_; }

signals:
    void albumDoubleClicked(int row);
    void contextMenuWanted(const QPoint& globalPos);
    void touched();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartDrag();

    QTreeWidget* report_;
    QListWidget* icons_;
    QPoint pressPos_;
};

} // namespace tunquil::ui
