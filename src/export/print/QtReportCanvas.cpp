#include "export/print/QtReportCanvas.h"

#include "base/Files.h"
#include "database/StoredDate.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QPdfWriter>
#include <QPrinter>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace tunquil {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A new file beside `target` for the report to be drawn into. Made here, not by the PDF writer
// from a name: O_EXCL and O_NOFOLLOW make sure it is a file of our own, never one that someone
// else (or a link they placed) put under the name between choosing it and opening it.
int CreateFreshBeside(const fs::path& target, fs::path& fresh) {
    for (;;) {
        fresh = UniqueSibling(target);
        int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            throw FileError(DescribeErrno("Cannot create", fresh, errno), errno);
    }
}

} // namespace

QtReportCanvas::QtReportCanvas(QPagedPaintDevice& device, bool landscape)
    : device_(device), landscape_(landscape) {}

QtReportCanvas::~QtReportCanvas() {
    if (painter_.isActive())
        painter_.end();
}

void QtReportCanvas::BeginDocument(const std::string& title) {
    if (pdf)
        pdf->setTitle(Q(title));
    if (printer)
        printer->setDocName(Q(title));
    if (!painter_.begin(&device_))
        throw std::runtime_error("The printer could not be started.");
    // Hairlines vanish on a high-resolution device: rules are a quarter point wide.
    painter_.setPen(QPen(Qt::black, std::max(1, device_.logicalDpiX() / 288)));
}

void QtReportCanvas::NewPage() {
    if (!device_.newPage())
        throw std::runtime_error("The printer could not start a new page.");
}

void QtReportCanvas::EndDocument() {
    if (!painter_.end())
        throw std::runtime_error("The printer could not finish the report.");
}

void QtReportCanvas::AbortDocument() {
    if (printer && painter_.isActive())
        printer->abort();
    if (painter_.isActive())
        painter_.end();
}

int QtReportCanvas::PageWidth() {
    return painter_.isActive() ? painter_.device()->width() : device_.width();
}

int QtReportCanvas::PageHeight() {
    return painter_.isActive() ? painter_.device()->height() : device_.height();
}

QFont QtReportCanvas::FontFor(const ReportFont& font) const {
    QFont f(QStringLiteral("arial"));
    f.setPointSize(font.points);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    return f;
}

const QFontMetrics& QtReportCanvas::Metrics(const ReportFont& font) {
    auto& slot = metrics_[{font.points, font.bold, font.italic}];
    if (!slot)
        slot = std::make_unique<QFontMetrics>(FontFor(font), &device_);
    return *slot;
}

int QtReportCanvas::TextWidth(const std::string& text, const ReportFont& font) {
    return Metrics(font).horizontalAdvance(Q(text));
}

int QtReportCanvas::TextHeight(const std::string&, const ReportFont& font) {
    return Metrics(font).height();
}

void QtReportCanvas::TextOut(int x, int y, const std::string& text, const ReportFont& font) {
    painter_.setFont(FontFor(font));
    painter_.drawText(QPoint(x, y + Metrics(font).ascent()), Q(text));
}

void QtReportCanvas::Line(int x1, int y1, int x2, int y2) {
    painter_.drawLine(x1, y1, x2, y2);
}

std::string QtReportCanvas::ShortDate(double storedDate) {
    QDateTime when = QDateTime::fromSecsSinceEpoch(TimeFromStoredDate(storedDate));
    return QLocale().toString(when.date(), QLocale::ShortFormat).toStdString();
}

std::string QtReportCanvas::Today() {
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string QtReportCanvas::TimeNow() {
    return QLocale().toString(QTime::currentTime(), QLocale::ShortFormat).toStdString();
}

bool PrintReportToPdf(TMyDB& db, IHost& host, const ReportRequest& request, const fs::path& pdfFile,
                      int* pages) {
    // Drawn into a new file beside the target and renamed over it once complete, so a report
    // that fails half way leaves an older file of that name as it was.
    std::error_code ec;
    fs::path dir = pdfFile.parent_path().empty() ? fs::path(".") : pdfFile.parent_path();
    if (!fs::is_directory(dir, ec)) {
        host.ShowMessage("Cannot write " + pdfFile.string() + ": the folder does not exist",
                         TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
    fs::path fresh;
    QFile file;
    try {
        int fd = CreateFreshBeside(pdfFile, fresh);
        if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            throw FileError("Cannot write " + fresh.string() + ": " +
                            file.errorString().toStdString());
        }
    } catch (const std::exception& e) {
        host.ShowMessage(std::string("The report could not be saved: ") + e.what(),
                         TMsgDlgType::mtError, 0, mbOK);
        if (!fresh.empty())
            fs::remove(fresh, ec);
        return false;
    }
    bool ok = false;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Tunquil"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        // A printer's unprintable edge, so that the page looks as it would on paper.
        writer.setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
        writer.setPageOrientation(request.landscape ? QPageLayout::Landscape
                                                    : QPageLayout::Portrait);
        QtReportCanvas canvas(writer, request.landscape);
        canvas.pdf = &writer;
        TitleReport report(db, host, canvas);
        ok = report.Print(request.heading, request.columns, request.masterKeys);
        if (pages)
            *pages = report.pages();
    }
    if (ok) {
        try {
            if (!file.flush())
                throw FileError("Cannot write " + fresh.string() + ": " +
                                file.errorString().toStdString());
            SyncFile(file.handle(), fresh);
            file.close();
            if (::rename(fresh.c_str(), pdfFile.c_str()) != 0)
                throw FileError(DescribeErrno("Cannot write", pdfFile, errno), errno);
            SyncDirectory(dir);
            return true;
        } catch (const std::exception& e) {
            host.ShowMessage(std::string("The report could not be saved: ") + e.what(),
                             TMsgDlgType::mtError, 0, mbOK);
        }
    }
    file.close();
    fs::remove(fresh, ec);
    return false;
}

bool PrintReportToPrinter(TMyDB& db, IHost& host, const ReportRequest& request, QPrinter& printer) {
    printer.setPageOrientation(request.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QtReportCanvas canvas(printer, request.landscape);
    canvas.printer = &printer;
    TitleReport report(db, host, canvas);
    return report.Print(request.heading, request.columns, request.masterKeys);
}

} // namespace tunquil
