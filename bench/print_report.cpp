// A printed report of 10,000 titles written as a PDF file: the time it takes and the memory
// it needs, beside a report of 1,000 titles so that growth with the page count shows.

#include "base/ScriptedHost.h"
#include "database/TMyDB.h"
#include "database/TitleRecord.h"
#include "export/print/QtReportCanvas.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tunquil;

namespace {

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    std::string pattern = (fs::temp_directory_path() / "tunquil-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    fs::path work = pattern;
    ScriptedHost host;
    TMyDB db(host);
    db.Open(work / "Music");
    std::ofstream(work / "in.zip", std::ios::binary) << std::string(100, 'x');
    std::vector<int32_t> keys;
    for (int i = 0; i < 10000; ++i) {
        TitleRecord r;
        r.active = true;
        r.title = "Title number " + std::to_string(i);
        r.artist = "Artist " + std::to_string(i % 97);
        r.categoryName = "Category " + std::to_string(i % 13);
        r.origin = "/music/collection/" + std::to_string(i) + ".mid";
        r.duration = 60 + i % 300;
        r.durationText = DurationText(r.duration);
        r.dateObtained = 45000 + i % 365;
        keys.push_back(db.AppendTitle(r, work / "in.zip"));
    }
    for (int n : {1000, 10000}) {
        ReportRequest request;
        request.heading = "Every title";
        request.columns = {true, true, true, true, true, true};
        request.masterKeys.assign(keys.begin(), keys.begin() + n);
        auto start = std::chrono::steady_clock::now();
        int pages = 0;
        bool ok = PrintReportToPdf(db, host, request, work / "report.pdf", &pages);
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("report of %d titles: %s, %d pages, %.0f ms (target < 5000 ms), peak memory "
                    "%ld kB, file %.1f MB\n",
                    n, ok ? "written" : "FAILED", pages, ms, StatusKb("VmHWM:"),
                    fs::file_size(work / "report.pdf") / 1e6);
    }
    db.Close();
    fs::remove_all(work);
}
