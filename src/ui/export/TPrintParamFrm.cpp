#include "ui/export/TPrintParamFrm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {
constexpr const char* kColumnCaptions[kReportColumns] = {"Category", "Artist", "Title",
                                                         "Duration", "Origin", "Date obtained"};
constexpr const char* kColumnNames[kReportColumns] = {"Cat", "Art", "tit", "Dur", "Orig", "Dat"};
} // namespace

TPrintParamFrm::TPrintParamFrm(QPrinter* printer, QWidget* owner)
    : QDialog(owner), printer_(printer) {
    setWindowTitle(QStringLiteral("Set printing parameters"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setObjectName(QStringLiteral("PrintParamFrm"));

    auto* titleBox = new QGroupBox(QStringLiteral("Title "), this);
    Edit1 = new QLineEdit(titleBox);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("Report title"));
    Edit1->setAccessibleName(QStringLiteral("Report title"));
    (new QHBoxLayout(titleBox))->addWidget(Edit1);

    auto* infoBox = new QGroupBox(QStringLiteral(" Information "), this);
    auto* infoGrid = new QGridLayout(infoBox);
    for (int c = 0; c < kReportColumns; ++c) {
        Columns[c] = new QCheckBox(QString::fromLatin1(kColumnCaptions[c]), infoBox);
        Columns[c]->setObjectName(QString::fromLatin1(kColumnNames[c]));
        Columns[c]->setChecked(kDefaultReportColumns[c]);
        infoGrid->addWidget(Columns[c], c % 3, c / 3);
    }

    auto* pageBox = new QGroupBox(QStringLiteral(" Page orientation "), this);
    Portrait = new QRadioButton(QStringLiteral("&Portrait"), pageBox);
    Landscape = new QRadioButton(QStringLiteral("&Landscape"), pageBox);
    Portrait->setChecked(true);
    auto* pageRow = new QHBoxLayout(pageBox);
    pageRow->addWidget(Portrait);
    pageRow->addWidget(Landscape);

    PrintButton = new QPushButton(QStringLiteral("&Print!"), this);
    QFont bold = PrintButton->font();
    bold.setBold(true);
    PrintButton->setFont(bold);
    PrintButton->setDefault(true);
    SetupButton = new QPushButton(QStringLiteral("&Setup..."), this);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PrintButton);
    buttons->addWidget(SetupButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleBox);
    layout->addWidget(infoBox);
    layout->addWidget(pageBox);
    layout->addLayout(buttons);
    resize(304, 219);

    connect(PrintButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(SetupButton, &QPushButton::clicked, this, &TPrintParamFrm::Setup);
    connect(Columns[kReportOrigin], &QCheckBox::toggled, this, &TPrintParamFrm::OriginToggled);
    connect(Portrait, &QRadioButton::toggled, this, &TPrintParamFrm::ApplyOrientation);

    RunPrinterSetup = [this](QPrinter& p) {
        QPrintDialog dialog(&p, this);
        dialog.exec();
    };
}

void TPrintParamFrm::OriginToggled(bool checked) {
    // The origin column is wide: landscape keeps its text readable.
    Landscape->setText(checked ? QStringLiteral("Landscape (recommended)")
                               : QStringLiteral("&Landscape"));
    QPalette palette = Landscape->palette();
    palette.setColor(QPalette::WindowText, checked ? Qt::red : Qt::black);
    palette.setColor(QPalette::ButtonText, checked ? Qt::red : Qt::black);
    Landscape->setPalette(palette);
}

void TPrintParamFrm::ApplyOrientation() {
    if (printer_)
        printer_->setPageOrientation(Portrait->isChecked() ? QPageLayout::Portrait
                                                           : QPageLayout::Landscape);
}

void TPrintParamFrm::Setup() {
    if (!printer_ || !RunPrinterSetup)
        return;
    RunPrinterSetup(*printer_);
    bool landscape = printer_->pageLayout().orientation() == QPageLayout::Landscape;
    (landscape ? Landscape : Portrait)->setChecked(true);
}

std::optional<TPrintParamFrm::Choice> TPrintParamFrm::Ask(const QString& heading) {
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    Edit1->setText(heading);
    ApplyOrientation();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    Choice choice;
    choice.heading = Edit1->text();
    for (int c = 0; c < kReportColumns; ++c)
        choice.columns[c] = Columns[c]->isChecked();
    choice.landscape = Landscape->isChecked();
    return choice;
}

} // namespace tunquil::ui
