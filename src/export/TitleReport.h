#pragma once
// Printed reports of titles: a paginated table with a heading, a summary of count and playing
// time, the date of printing, the chosen columns, ruled grid lines and a page footer. The
// layout is computed here in device pixels; the device that draws it is given by the caller.

#include "base/Host.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;
struct TitleRecord;

struct ReportFont {
    int points = 9;
    bool bold = false;
    bool italic = false;
};

// Where a report is drawn: a printer, a PDF file, or a recording double in the tests. All
// figures are device pixels.
class IReportCanvas {
public:
    virtual ~IReportCanvas() = default;
    virtual void BeginDocument(const std::string& title) = 0;
    virtual void NewPage() = 0;
    virtual void EndDocument() = 0;
    // Drops what was drawn; must not throw.
    virtual void AbortDocument() = 0;

    virtual int PageWidth() = 0;
    virtual int PageHeight() = 0;
    virtual bool Landscape() = 0;
    virtual int TextWidth(const std::string& text, const ReportFont& font) = 0;
    virtual int TextHeight(const std::string& text, const ReportFont& font) = 0;
    // `y` is the top of the text.
    virtual void TextOut(int x, int y, const std::string& text, const ReportFont& font) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;

    // Texts in the user's locale.
    virtual std::string ShortDate(double storedDate) = 0;
    virtual std::string Today() = 0;
    virtual std::string TimeNow() = 0;
};

enum ReportColumn {
    kReportCategory,
    kReportArtist,
    kReportTitle,
    kReportDuration,
    kReportOrigin,
    kReportDate,
    kReportColumns
};

using ReportColumnSet = std::array<bool, kReportColumns>;

// The columns printed by default: category, artist, title and duration.
constexpr ReportColumnSet kDefaultReportColumns{true, true, true, true, false, false};

const char* ReportColumnHeader(int column);
// Parses a list such as "category,title,date" (names as the headers, any letter case, spaces
// may stand for nothing: "dateobtained" and "date" both name the last column). Throws
// std::invalid_argument naming an unknown column.
ReportColumnSet ParseReportColumns(const std::string& list);

class TitleReport {
public:
    TitleReport(TMyDB& db, IHost& host, IReportCanvas& canvas)
        : db_(db), host_(host), canvas_(canvas) {}

    // Prints the titles in list order. A failure aborts the document and is shown through the
    // host; false then. An empty list prints nothing.
    bool Print(const std::string& heading, const ReportColumnSet& columns,
               const std::vector<int32_t>& masterKeys);

    // What the last Print measured, for callers that report it.
    int bodyPoints() const { return bodyPoints_; }
    int pages() const { return pages_; }

private:
    void FitColumns(const ReportColumnSet& columns, const std::vector<int32_t>& keys, int gap);
    std::string CellText(const TitleRecord& record, int column);
    void PrintPages(const std::string& heading, const ReportColumnSet& columns,
                    const std::vector<int32_t>& keys);

    TMyDB& db_;
    IHost& host_;
    IReportCanvas& canvas_;
    std::array<int, kReportColumns> widths_{};
    int64_t totalSeconds_ = 0;
    int bodyPoints_ = 9;
    int pages_ = 0;
};

} // namespace tunquil
