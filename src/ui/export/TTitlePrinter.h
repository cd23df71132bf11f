#pragma once
// The window's PrintTitles: the parameters dialog, then the report on the system's default
// printer, or into a PDF file the user names when there is no printer.

#include "base/Host.h"
#include "ui/export/TPrintParamFrm.h"

#include <QPrinter>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace tunquil {
class TMyDB;
}

namespace tunquil::ui {

class TTitlePrinter {
public:
    TTitlePrinter(TMyDB& db, IHost& host, QWidget* owner);

    // Offers `heading`; true once the report has been printed.
    bool PrintTitles(const QString& heading, const std::vector<int32_t>& masterKeys);

    TPrintParamFrm& Dialog() { return *dialog_; }
    QPrinter& Printer() { return printer_; }
    // True when the system has a printer to print on.
    bool HasPrinter() const { return hasPrinter_; }

    // Asks for the PDF file when there is no printer: an empty name cancels. Tests replace it.
    std::function<QString()> AskPdfFile;
    // Lets tests print into a PDF file as if there were no printer.
    void UsePdfFile() { hasPrinter_ = false; }

private:
    TMyDB& db_;
    IHost& host_;
    QWidget* owner_;
    QPrinter printer_{QPrinter::HighResolution};
    bool hasPrinter_;
    std::unique_ptr<TPrintParamFrm> dialog_;
};

} // namespace tunquil::ui
