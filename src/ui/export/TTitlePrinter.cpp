#include "ui/export/TTitlePrinter.h"

#include "export/print/QtReportCanvas.h"

#include <QFileDialog>
#include <QPrinterInfo>

namespace tunquil::ui {

TTitlePrinter::TTitlePrinter(TMyDB& db, IHost& host, QWidget* owner)
    : db_(db), host_(host), owner_(owner), hasPrinter_(!QPrinterInfo::defaultPrinter().isNull()),
      dialog_(std::make_unique<TPrintParamFrm>(&printer_, owner)) {
    AskPdfFile = [this] {
        QString name = QFileDialog::getSaveFileName(owner_, QStringLiteral("Print to PDF file"),
                                                    QString(), QStringLiteral("PDF file (*.pdf)"));
        if (!name.isEmpty() && !name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            name += QLatin1String(".pdf");
        return name;
    };
}

bool TTitlePrinter::PrintTitles(const QString& heading, const std::vector<int32_t>& masterKeys) {
    auto choice = dialog_->Ask(heading);
    if (owner_)
        owner_->repaint();
    if (!choice)
        return false;
    ReportRequest request;
    request.heading = choice->heading.toStdString();
    request.columns = choice->columns;
    request.landscape = choice->landscape;
    request.masterKeys = masterKeys;
    // A printer, or the file chosen in the setup dialog: the printer prints there.
    if (hasPrinter_ || !printer_.outputFileName().isEmpty())
        return PrintReportToPrinter(db_, host_, request, printer_);
    QString file = AskPdfFile ? AskPdfFile() : QString();
    if (file.isEmpty())
        return false;
    return PrintReportToPdf(db_, host_, request, file.toStdString());
}

} // namespace tunquil::ui
