#pragma once
// A Qt table model over one grid of titles: cells are asked of the grid when painted, so a
// grid of 100,000 titles costs the view nothing per cell.

#include "database/TTitleView.h"

#include <QAbstractTableModel>

namespace tunquil::ui {

class TTitleTableModel : public QAbstractTableModel, public ITitleViewObserver {
    Q_OBJECT
public:
    explicit TTitleTableModel(TTitleView& view, QObject* parent = nullptr);
    ~TTitleTableModel() override;

    TTitleView& View() const { return view_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The grid's selection, current row or top row changed.
    void selectionFollow();
    void positionFollow(int currentRow, int topRow);
    void summaryFollow(const QString& text);

private:
    void RowsAboutToBeInserted(int first, int last) override;
    void RowsInserted() override;
    void RowsAboutToBeRemoved(int first, int last) override;
    void RowsRemoved() override;
    void AboutToReset() override;
    void ResetDone() override;
    void RowsChanged(int first, int last) override;
    void SelectionChanged() override;
    void PositionChanged(int currentRow, int topRow) override;
    void SummaryChanged(const std::string& text) override;

    TTitleView& view_;
    bool resetting_ = false;
};

// The date as the desktop's locale writes it, with the time when it is not midnight.
QString LocaleDateText(double storedDate);

} // namespace tunquil::ui
