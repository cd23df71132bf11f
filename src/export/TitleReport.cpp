#include "export/TitleReport.h"

#include "base/Text.h"
#include "database/TMyDB.h"
#include "database/TitleRecord.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tunquil {

namespace {

constexpr const char* kHeaders[kReportColumns] = {"Category", "Artist", "Title",
                                                  "Duration", "Origin", "Date obtained"};

bool RightAligned(int column) {
    return column == kReportDuration || column == kReportDate;
}

std::string Squeezed(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ')
            out += FoldAscii(c);
    return out;
}

} // namespace

const char* ReportColumnHeader(int column) {
    return kHeaders[column];
}

ReportColumnSet ParseReportColumns(const std::string& list) {
    ReportColumnSet set{};
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = std::min(list.find(',', start), list.size());
        std::string name = Squeezed(list.substr(start, comma - start));
        start = comma + 1;
        if (name.empty())
            continue;
        int found = -1;
        for (int c = 0; c < kReportColumns; ++c)
            if (name == Squeezed(kHeaders[c]) || (c == kReportDate && name == "DATE"))
                found = c;
        if (found < 0)
            throw std::invalid_argument("unknown column \"" + Trim(name) +
                                        "\"; the columns are "
                                        "category, artist, title, duration, origin, date");
        set[found] = true;
    }
    return set;
}

std::string TitleReport::CellText(const TitleRecord& record, int column) {
    switch (column) {
    case kReportCategory:
        return Trim(record.categoryName);
    case kReportArtist:
        return Trim(record.artist);
    case kReportTitle:
        return Trim(record.title);
    case kReportDuration:
        return Trim(record.durationText);
    case kReportOrigin:
        return Trim(record.origin);
    default:
        return canvas_.ShortDate(record.dateObtained);
    }
}

void TitleReport::FitColumns(const ReportColumnSet& columns, const std::vector<int32_t>& keys,
                             int gap) {
    const double limit = (canvas_.Landscape() ? 0.9 : 0.94) * canvas_.PageWidth();
    int size = bodyPoints_ + 1;
    long measured = 0;
    do {
        --size;
        host_.ProcessEvents();
        for (int c = 0; c < kReportColumns; ++c)
            widths_[c] = columns[c] ? canvas_.TextWidth(kHeaders[c], {size, true, false}) : -1;
        totalSeconds_ = 0;
        ReportFont body{size, false, false};
        TitleRecord record;
        for (int32_t key : keys) {
            if (!db_.ReadRecordByKey(key, record))
                continue;
            // A duration that could not be measured is stored as -1 and adds nothing.
            totalSeconds_ += std::max(record.duration, 0);
            for (int c = 0; c < kReportColumns; ++c)
                if (columns[c])
                    widths_[c] = std::max(widths_[c], canvas_.TextWidth(CellText(record, c), body));
        }
        measured = -gap;
        for (int w : widths_)
            measured += w + gap;
    } while (measured > limit && size > 4);
    bodyPoints_ = size;
}

void TitleReport::PrintPages(const std::string& heading, const ReportColumnSet& columns,
                             const std::vector<int32_t>& keys) {
    const int P = canvas_.PageHeight(), Wp = canvas_.PageWidth();
    const int M = static_cast<int>(std::nearbyint(0.03 * P)); // halves go to the even side
    const int S = 3 * P / 1000, G = 20 * Wp / 1000;
    const int Hh = canvas_.TextHeight(heading, {20, true, false});
    const ReportFont body{bodyPoints_, false, false}, bodyBold{bodyPoints_, true, false};
    const int L = canvas_.TextHeight("test", body) + S;
    const int R = (P - 3 * M - Hh - (5 * M) / 2) / L - 1;
    if (R < 1)
        throw std::runtime_error("The page is too short for a single row of titles at " +
                                 std::to_string(bodyPoints_) + " points.");
    const int count = static_cast<int>(keys.size());
    pages_ = (count + R - 1) / R;
    int W = 0;
    for (int c = 0; c < kReportColumns; ++c)
        if (columns[c])
            W += widths_[c] + G;
    const int X0 = (Wp + G / 2 - W) / 2, Xb = (Wp - (W + G / 2)) / 2, T = 3 * M + Hh;

    const ReportFont headingFont{14, true, false}, summaryFont{10, false, true},
        footerFont{11, true, true};
    const std::string summary = std::to_string(count) +
                                (count <= 1 ? " title  ---  " : " titles  ---  ") +
                                DurationText(totalSeconds_);
    const std::string dated = "as of " + canvas_.Today() + " at " + canvas_.TimeNow();
    auto centred = [&](int y, const std::string& text, const ReportFont& font) {
        canvas_.TextOut((Wp - canvas_.TextWidth(text, font)) / 2, y, text, font);
    };
    // Draws one row of cells (or the headers) placed as the columns are.
    auto row = [&](int y, const ReportFont& font, auto&& textOf) {
        int x = X0;
        for (int c = 0; c < kReportColumns; ++c) {
            if (!columns[c])
                continue;
            std::string text = textOf(c);
            int at = RightAligned(c) ? x + widths_[c] - canvas_.TextWidth(text, font) : x;
            canvas_.TextOut(at, y, text, font);
            x += widths_[c] + G;
        }
    };

    std::size_t next = 0;
    TitleRecord record;
    for (int page = 1; page <= pages_; ++page) {
        host_.Progress(page * 100 / pages_,
                       "Printing page " + std::to_string(page) + " of " + std::to_string(pages_));
        if (page > 1)
            canvas_.NewPage();
        centred(M * 4 / 3, heading, headingFont);
        centred(M + Hh + S, summary, summaryFont);
        centred(canvas_.TextHeight(dated, summaryFont) + M + Hh + S, dated, summaryFont);
        std::string footer =
            "Tunquil report:  Page " + std::to_string(page) + " of " + std::to_string(pages_);
        centred(P - 4 * S - canvas_.TextHeight(footer, footerFont), footer, footerFont);
        row(T, bodyBold, [](int c) { return std::string(kHeaders[c]); });

        int rows = page < pages_ ? R : count - (pages_ - 1) * R;
        for (int r = 1; r <= R && next < keys.size(); ++r)
            if (db_.ReadRecordByKey(keys[next++], record))
                row(T + L * r, body, [&](int c) { return CellText(record, c); });

        for (int k = 1; k <= rows + 2; ++k)
            canvas_.Line(Xb, T + (k - 1) * L - 2, Xb + W, T + (k - 1) * L - 2);
        const int bottom = T + (rows + 1) * L - 2;
        canvas_.Line(Xb, T - 2, Xb, bottom);
        canvas_.Line(Xb + W, T - 2, Xb + W, bottom);
        int x = Xb;
        for (int c = 0; c < kReportColumns - 1; ++c) {
            if (!columns[c])
                continue;
            x += widths_[c] + G;
            canvas_.Line(x, T - 2, x, bottom);
        }
    }
}

bool TitleReport::Print(const std::string& heading, const ReportColumnSet& columns,
                        const std::vector<int32_t>& masterKeys) {
    if (masterKeys.empty())
        return true;
    BusyScope busy(host_);
    bodyPoints_ = 9;
    pages_ = 0;
    try {
        canvas_.BeginDocument("Tunquil report: " + heading);
        FitColumns(columns, masterKeys, 20 * canvas_.PageWidth() / 1000);
        PrintPages(heading, columns, masterKeys);
        canvas_.EndDocument();
        host_.Progress(0, "");
        return true;
    } catch (const std::exception& e) {
        canvas_.AbortDocument();
        host_.Progress(0, "");
        host_.ShowMessage(std::string("The report could not be printed: ") + e.what(),
                          TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
}

} // namespace tunquil
