#pragma once
// Reports drawn with Qt: on a printer, or into a PDF file. Needs a QGuiApplication.

#include "export/TitleReport.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <filesystem>
#include <map>
#include <memory>

class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;

namespace tunquil {

class QtReportCanvas : public IReportCanvas {
public:
    // `device` is a QPrinter or a QPdfWriter, its page size and orientation already set.
    QtReportCanvas(QPagedPaintDevice& device, bool landscape);
    ~QtReportCanvas() override;

    void BeginDocument(const std::string& title) override;
    void NewPage() override;
    void EndDocument() override;
    void AbortDocument() override;

    int PageWidth() override;
    int PageHeight() override;
    bool Landscape() override { return landscape_; }
    int TextWidth(const std::string& text, const ReportFont& font) override;
    int TextHeight(const std::string& text, const ReportFont& font) override;
    void TextOut(int x, int y, const std::string& text, const ReportFont& font) override;
    void Line(int x1, int y1, int x2, int y2) override;

    std::string ShortDate(double storedDate) override;
    std::string Today() override;
    std::string TimeNow() override;

    // Set when the canvas draws on a printer, which can drop a job half printed.
    QPrinter* printer = nullptr;
    QPdfWriter* pdf = nullptr;

private:
    const QFontMetrics& Metrics(const ReportFont& font);
    QFont FontFor(const ReportFont& font) const;

    QPagedPaintDevice& device_;
    bool landscape_;
    QPainter painter_;
    std::map<std::tuple<int, bool, bool>, std::unique_ptr<QFontMetrics>> metrics_;
};

struct ReportRequest {
    std::string heading;
    ReportColumnSet columns = kDefaultReportColumns;
    bool landscape = false;
    std::vector<int32_t> masterKeys;
};

// Writes the report into a PDF file; an existing file is replaced only by a finished report.
// False on failure, shown through the host.
bool PrintReportToPdf(TMyDB& db, IHost& host, const ReportRequest& request,
                      const std::filesystem::path& pdfFile, int* pages = nullptr);

// Prints the report on `printer` (its page setup as the user left it, orientation set here).
bool PrintReportToPrinter(TMyDB& db, IHost& host, const ReportRequest& request, QPrinter& printer);

} // namespace tunquil
