#pragma once
// "Music program titles": the play program with each entry's title, artist and duration, the
// entry that plays marked. Enter or a double-click plays an entry, Delete removes one; the
// program itself belongs to the play program, so every change goes through it and the window
// only shows the listing it returns.

#include "app/ProgramListing.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace tunquil {
class PlayProgram;
}

namespace tunquil::ui {

class ProgramListingModel;

class TViewProgFrm : public QDialog {
    Q_OBJECT
public:
    // `lookup` reads a title record by master key (the database's ReadRecordByKey).
    TViewProgFrm(PlayProgram& program, TitleLookup lookup, QWidget* parent = nullptr);

    // Reads the program again; the owner calls it after every change of the program, its
    // current index or the player's state while the window is shown.
    void Refresh();
    // The main window's "&View titles": placed beside `mainWindow` when not yet shown (as tall
    // as it and a little more, within the screen), refreshed, restored and shown.
    void ViewBeside(QWidget* mainWindow);

    // Plays the selected row's entry; removes the selected row's entry.
    void PlaySelectedRow();
    void DeleteSelectedRow();

    QLabel* summaryLabel;
    QTableView* SG1;
    QPushButton *shuffleButton, *clearButton, *closeButton;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int SelectedRow() const;
    void SelectRow(int row);
    void FitTitleColumn();

    PlayProgram& program_;
    TitleLookup lookup_;
    ProgramListingModel* model_;
    ProgramListing listing_;
};

} // namespace tunquil::ui
