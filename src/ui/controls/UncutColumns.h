#pragma once
// Columns that do not cut their text while the grid has room to spare: whenever a grid shows
// other rows (a reset, rows added, a tab brought forward) or grows, each column too narrow for
// the header or the rows in sight is widened into the room left of the grid's right edge.
// Only rows in sight are measured, so a grid of 100,000 rows costs what one screenful costs.

#include <QSet>

class QTableView;

namespace tunquil::ui {

// Keeps `grid`'s columns uncut from now on (the watcher lives as long as the grid); a column
// the user has sized with the mouse is left as the user left it.
void KeepColumnsUncut(QTableView* grid);

// Widens, in column order, each column narrower than its header or the rows in sight, as far
// as the room right of the last column allows; a column the room cannot fully widen takes
// what is left. Never narrows a column, and leaves the columns in `leave` alone.
void WidenCutColumns(QTableView* grid, const QSet<int>& leave = {});

} // namespace tunquil::ui
