// tunquilctl scan: the drive scan and the system scan without their windows.

#include "base/IniFile.h"
#include "base/Text.h"
#include "ctl/CtlLibrary.h"
#include "database/TPerfList.h"
#include "import/MidiScanner.h"
#include "import/TitleImporter.h"
#include "platform/Drives.h"

#include <csignal>
#include <ostream>

namespace tunquil::ctl {

namespace {

// Ctrl-C as the two Stop buttons: the first ends the search (what was found is still filed),
// the second ends the import before the next file. The database is closed properly either way.
volatile std::sig_atomic_t interrupts = 0;
extern "C" void CountInterrupt(int) {
    interrupts = interrupts + 1;
}

class InterruptsAsStop {
public:
    InterruptsAsStop() {
        interrupts = 0;
        previous_ = std::signal(SIGINT, CountInterrupt);
    }
    ~InterruptsAsStop() { std::signal(SIGINT, previous_); }
    InterruptsAsStop(const InterruptsAsStop&) = delete;
    InterruptsAsStop& operator=(const InterruptsAsStop&) = delete;

private:
    void (*previous_)(int) = SIG_DFL;
};

int Scan(Context& ctx) {
    bool system = TakeFlag(ctx.args, "--system");
    auto category = TakeOption(ctx.args, "--category");
    auto artist = TakeOption(ctx.args, "--artist");
    bool allowDuplicates = TakeFlag(ctx.args, "--allow-duplicates");
    RejectUnknownOptions(ctx.args);
    if (system && (!ctx.args.empty() || category || artist))
        throw UsageError("--system takes no folders, category or artist");
    if (!system && ctx.args.empty())
        throw UsageError("scan needs a folder, or --system");
    if (category.has_value() != artist.has_value())
        throw UsageError("--category and --artist go together");
    if (category && (!IsValidScanArtist(*artist) || !IsValidScanCategory(*category)))
        throw UsageError(kScanInvalidInfo);

    auto session = CtlLibrary::Open(ctx);
    if (!session)
        return kUsage;
    TitleImporter importer(session->host(), session->data(), session->library().Categories(),
                           session->dir());
    std::error_code ec;
    fs::create_directories(importer.TempZipsDirectory(), ec);
    platform::SystemDrives drives;
    MidiScanner scanner(session->host(), importer, session->data(), session->library().Categories(),
                        session->dir(), drives);
    InterruptsAsStop interruptsAsStop;
    session->host().onProcessEvents = [&] {
        if (interrupts >= 2)
            scanner.StopImport();
        else if (interrupts == 1)
            scanner.StopSearch();
    };
    scanner.onImported = [&](const std::string& path, const std::string& status) {
        ctx.out << Printable(status.empty() ? "Not added" : status) << "\t" << path << "\n";
    };

    ScanOutcome total;
    bool missing = false;
    if (system) {
        total = scanner.ScanSystem(!allowDuplicates);
        if (total.fullScanDone) {
            IniFile settings(session->dir() / "Tunquil.ini");
            settings.WriteBool("Setup", "FullScanDone", true);
            settings.UpdateFile();
        }
    } else {
        std::string first, last, name = category.value_or("");
        if (artist) {
            SplitArtistText(*artist, first, last);
        } else {
            // Filed as the system scan files what it finds.
            last = "TBD";
            name = MidiScanner::FullScanCategoryName();
        }
        total.searchComplete = total.importComplete = true;
        for (const auto& dir : ctx.args) {
            fs::path full = fs::absolute(dir, ec).lexically_normal();
            int errorsBefore = session->host().errors;
            ScanOutcome one = scanner.ScanDirectory(full, !allowDuplicates, last, first, name);
            if (session->host().errors != errorsBefore) {
                missing = true; // "Could not find directory: ..." is on standard error
                continue;
            }
            total.found += one.found;
            total.added += one.added;
            total.directories += one.directories;
            total.unreadable += one.unreadable;
            total.searchComplete = total.searchComplete && one.searchComplete;
            total.importComplete = total.importComplete && one.importComplete;
        }
    }
    ctx.out << total.found << (total.found == 1 ? " MIDI file" : " MIDI files") << " found in "
            << total.directories << (total.directories == 1 ? " folder" : " folders") << ", "
            << total.added << " added";
    if (total.unreadable)
        ctx.out << ", " << total.unreadable << " unreadable "
                << (total.unreadable == 1 ? "folder" : "folders") << " skipped";
    if (!total.searchComplete || !total.importComplete)
        ctx.out << ", stopped";
    ctx.out << "\n";
    bool trouble =
        missing || total.unreadable > 0 || !total.searchComplete || !total.importComplete;
    return session->Finish(trouble ? kProblems : kOk);
}

Registration scan({"scan",
                   "scan [--category NAME --artist TEXT] [--allow-duplicates] DIR... | scan "
                   "--system [--allow-duplicates]",
                   Scan,
                   "search folders, or every drive, for MIDI files and add what is new",
                   {{"--category NAME", "the category of the new titles; needs --artist"},
                    {"--artist TEXT", "the artist of the new titles; needs --category"},
                    {"--allow-duplicates", "add a tune that the database already holds"},
                    {"--system", "search every drive of the system"}}});

} // namespace

} // namespace tunquil::ctl
