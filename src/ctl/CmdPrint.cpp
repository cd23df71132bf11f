// tunquilctl print: the printed report of titles, written as a PDF file, so that reports can be
// made without a window.

#include "ctl/CtlLibrary.h"
#include "export/print/QtReportCanvas.h"

#include <QGuiApplication>
#include <cstdlib>
#include <ostream>

namespace tunquil::ctl {

namespace {

constexpr const char* kUsageText =
    "print --pdf OUT.pdf [--heading TEXT] [--columns LIST] [--landscape] "
    "[--category NAME] [--album NAME] [KEY...]";

// Fonts and the PDF writer need a GUI application object, but not a screen: without one the
// offscreen platform stands in.
std::unique_ptr<QGuiApplication> StartQt() {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "tunquilctl";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int Print(Context& ctx) {
    std::optional<std::string> pdf = TakeOption(ctx.args, "--pdf");
    std::optional<std::string> heading = TakeOption(ctx.args, "--heading");
    std::optional<std::string> columns = TakeOption(ctx.args, "--columns");
    std::optional<std::string> category = TakeOption(ctx.args, "--category");
    std::optional<std::string> album = TakeOption(ctx.args, "--album");
    ReportRequest request;
    request.landscape = TakeFlag(ctx.args, "--landscape");
    RejectUnknownOptions(ctx.args);
    if (!pdf || (ctx.args.empty() && !category && !album))
        throw UsageError(std::string("usage: ") + kUsageText);
    if (columns) {
        try {
            request.columns = ParseReportColumns(*columns);
        } catch (const std::invalid_argument& e) {
            throw UsageError(e.what());
        }
    }
    std::vector<int32_t> keys;
    for (const std::string& arg : ctx.args)
        keys.push_back(ParseKey(arg));

    auto session = CtlLibrary::OpenForReading(ctx);
    if (!session)
        return kUsage;
    std::string offered;
    if (category) {
        if (session->AddCategoryTitles(*category, request.masterKeys, ctx.err) == 0)
            return session->Finish(kProblems);
        offered = "Category: " + *category;
    }
    if (album) {
        const TAlbList::Album* found = session->AddAlbumTitles(*album, request.masterKeys, ctx.err);
        if (!found)
            return session->Finish(kProblems);
        if (offered.empty())
            offered = "Custom album: " + found->record.name;
    }
    request.masterKeys.insert(request.masterKeys.end(), keys.begin(), keys.end());
    if (offered.empty())
        offered = keys.size() == 1 ? "One title" : "Selected titles";
    request.heading = heading.value_or(offered);
    if (request.masterKeys.empty()) {
        ctx.err << "tunquilctl: no titles to print\n";
        return session->Finish(kProblems);
    }

    auto app = StartQt();
    int pages = 0;
    bool ok = PrintReportToPdf(session->db(), session->host(), request, fs::path(*pdf), &pages);
    if (ok)
        ctx.out << "Printed " << request.masterKeys.size() << " title(s) on " << pages
                << " page(s) to " << *pdf << "\n";
    return session->Finish(ok ? kOk : kProblems);
}

Registration print({"print",
                    kUsageText,
                    Print,
                    "print a report of titles into a PDF file",
                    {{"--pdf OUT.pdf", "the PDF file to write"},
                     {"--heading TEXT", "the report's heading"},
                     {"--columns LIST", "the columns, separated by commas"},
                     {"--landscape", "print across the page"},
                     {"--category NAME", "the titles of one category"},
                     {"--album NAME", "the titles of one album"}}});

} // namespace

} // namespace tunquil::ctl
