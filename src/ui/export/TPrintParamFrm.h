#pragma once
// The print parameters dialog: the report's heading, its columns and the page orientation.
// Made once and kept, so that its check marks and orientation carry over to the next report.

#include "export/TitleReport.h"

#include <QDialog>
#include <array>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace tunquil::ui {

class TPrintParamFrm : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        QString heading;
        ReportColumnSet columns;
        bool landscape = false;
    };

    // `printer` is the printer the report goes to; the orientation buttons set its orientation
    // at once, and "&Setup..." opens its print dialog.
    TPrintParamFrm(QPrinter* printer, QWidget* owner = nullptr);

    // Shows the dialog centred over its owner with `heading` offered; the edited heading, the
    // columns and the orientation when the user chose "&Print!", nullopt on "&Cancel".
    std::optional<Choice> Ask(const QString& heading);

    QLineEdit* Edit1 = nullptr;
    std::array<QCheckBox*, kReportColumns> Columns{}; // Cat, Art, tit, Dur, Orig, Dat
    QRadioButton* Portrait = nullptr;
    QRadioButton* Landscape = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* SetupButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // The platform's print dialog behind "&Setup..."; tests put a stand-in here.
    std::function<void(QPrinter&)> RunPrinterSetup;

private:
    void OriginToggled(bool checked);
    void ApplyOrientation();
    void Setup();

    QPrinter* printer_;
};

} // namespace tunquil::ui
