// Find as you type over a large library: the main window over 100,000 titles, words typed into
// its find field one key at a time, each keystroke timed from the key to the grid and the
// summary line repainted. One-letter, three-letter and two-word queries, then the keys that
// take letters back. Target: 16 ms median and 50 ms at the 99th percentile a keystroke; the
// search index under 20 MB. The peer is grep -i over the same titles exported as text (title,
// artist, category and file name a line), run in the same process's time.
//   bench_find [TITLES]

#include "BenchDatabase.h"
#include "BenchFigures.h"
#include "database/TTitleViews.h"
#include "platform/FakeSequencerDevice.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TMyStringGrid.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>

using namespace tunquil;
using tunquil::bench::Median;
using Wall = std::chrono::steady_clock;

namespace {

double Percentile99(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, v.size() * 99 / 100)];
}

// The milliseconds of one grep pipeline over the exported titles, the best of five.
double GrepMs(const std::string& pipeline) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto t0 = Wall::now();
        if (std::system(pipeline.c_str()) != 0 && round == 0)
            std::printf("  (grep found nothing: %s)\n", pipeline.c_str());
        best = std::min(best, bench::MsSince(t0));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int titles = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path home =
        fs::temp_directory_path() / ("tunquil-bench-find-" + std::to_string(getpid()));
    fs::create_directories(home);
    bench::BuildDatabase(home, titles);

    auto window =
        std::make_unique<ui::TMasterFrm>(home, std::make_unique<platform::FakeSequencerDevice>());
    window->resize(1000, 700);
    window->show();
    QCoreApplication::processEvents();
    window->StartUp();
    auto* find = window->findChild<QLineEdit*>("FindTitles");
    ui::TMyStringGrid* grid = window->AllTitlesGrid();
    QLabel* summary = window->AllTitlesSummary();

    // Every key a person presses: a letter added, or taken back.
    auto press = [&](const QString& text) {
        auto t0 = Wall::now();
        find->setText(text);
        grid->viewport()->repaint();
        summary->repaint();
        return bench::MsSince(t0);
    };
    struct Query {
        const char* name;
        QString words;
        const char* grep;
    };
    // "@" stands for the file of exported titles.
    const Query queries[] = {{"one letter", "m", "grep -ic m @"},
                             {"three letters", "moo", "grep -ic moo @"},
                             {"two words", "moon blue", "grep -i moon @ | grep -ic blue"}};
    const fs::path text = home / "titles.txt";
    {
        std::ofstream out(text);
        TTitleViews* views = window->Views();
        const TTitleGrid& all = views->AllTitles();
        for (int row = 1; row <= all.TitleCount(); ++row) {
            TitleRow r = all.Row(row);
            std::string_view origin = r.origin.substr(r.origin.find_last_of('/') + 1);
            out << r.title << '\t' << r.artist << '\t' << r.categoryName << '\t' << origin << '\n';
        }
    }

    std::printf("%-14s %7s %9s %9s %9s %9s %7s\n", "query", "keys", "median ms", "p99 ms",
                "back ms", "grep ms", "ratio");
    for (const Query& q : queries) {
        std::vector<double> typed, back;
        std::string shown;
        for (int round = 0; round < 5; ++round) {
            for (int n = 1; n <= q.words.size(); ++n)
                typed.push_back(press(q.words.left(n)));
            shown = summary->text().toStdString();
            for (int n = int(q.words.size()) - 1; n >= 0; --n)
                back.push_back(press(q.words.left(n)));
        }
        std::string pipeline = q.grep;
        pipeline.replace(pipeline.find('@'), 1, "'" + text.string() + "'");
        const double grep = GrepMs(pipeline + " >/dev/null");
        std::printf("%-14s %7zu %9.2f %9.2f %9.2f %9.2f %6.2fx   %s\n", q.name, typed.size(),
                    Median(typed), Percentile99(typed), Median(back), grep, Median(typed) / grep,
                    shown.c_str());
    }
    std::printf("%d titles; search index %.1f MB (target < 20 MB)\n", titles,
                window->Views()->Search().MemoryBytes() / 1e6);
    window.reset();
    std::error_code ec;
    fs::remove_all(home, ec);
    return 0;
}
