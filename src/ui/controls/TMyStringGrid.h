#pragma once
// The title grid control: a table view over one grid of titles. Its selection is the grid's
// (the rows' selected flags); a click on a header sorts a sortable grid by that column.

#include "database/TTitleView.h"
#include "ui/controls/TTitleTableModel.h"

#include <QTableView>

namespace tunquil::ui {

class TMyStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TMyStringGrid(TTitleView& view, QWidget* parent = nullptr);

    TTitleView& View() const { return model_->View(); }
    TTitleTableModel* Model() const { return model_; }
    // Each column as wide as its widest text, header included, + 6 pixels.
    void FitColumns();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowGridSelection();
    void TakeUserSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void ShowPosition(int currentRow, int topRow);

    TTitleTableModel* model_;
    bool mirroring_ = false; // the grid's selection is being copied to the view
};

} // namespace tunquil::ui
