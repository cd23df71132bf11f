#pragma once
// The About box of the Help menu: the program's name, version and what it is for.

#include <QDialog>

namespace tunquil::ui {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Shows the box modally, centred over `parent`, then repaints `parent`.
    static void Execute(QWidget* parent);
};

} // namespace tunquil::ui
