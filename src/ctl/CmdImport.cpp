// tunquilctl's commands that bring titles in and take them out: add, export, archive. They
// open the database in the program directory and close it as the program does at shut-down.

#include "app/SingleInstance.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "ctl/CtlLibrary.h"
#include "export/TitleExport.h"
#include "export/archive/TitleArchiver.h"
#include "import/FileSearch.h"
#include "import/TitleImporter.h"
#include "integration/CommandProcessor.h"
#include "platform/SocketMessageBus.h"

#include <algorithm>
#include <memory>
#include <ostream>

namespace tunquil::ctl {

namespace {

// Every MIDI file ("*.mid", "*.kar") below `dir`, hidden entries and symbolic links left out,
// sorted ignoring case.
std::vector<fs::path> FindMidiFiles(const fs::path& dir) {
    std::vector<std::string> found;
    FileSearch search;
    search.onFile = [&](const std::string& path) { found.push_back(path); };
    search.Search(dir.string());
    std::stable_sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        return CompareTextIgnoringCase(a, b) < 0;
    });
    return {found.begin(), found.end()};
}

// The running window holds the library: the files go to it over the message bus, each as the
// add below would take it, and the window adds them. Folders are searched here, where the
// command was given; a name that is neither file nor folder is told here too.
int HandAddsToWindow(Context& ctx, const std::string& category, const std::string& artist,
                     bool allowDuplicates) {
    int status = kOk;
    std::error_code ec;
    std::vector<std::string> commands;
    const std::string library = FindProgramDirectory(ctx.home).string();
    auto hand = [&](const fs::path& file) {
        std::string full = fs::absolute(file, ec).lexically_normal().string();
        std::string command =
            CommandProcessor::AddCommand({full, category, artist, allowDuplicates, library});
        if (!command.empty()) {
            commands.push_back(std::move(command));
            return;
        }
        ctx.out << "Its name cannot be handed to the window\t" << file.string() << "\n";
        status = kProblems;
    };
    for (const auto& arg : ctx.args) {
        if (fs::is_directory(arg, ec)) {
            for (const auto& file : FindMidiFiles(arg))
                hand(file);
        } else if (fs::exists(arg, ec)) {
            hand(arg);
        } else {
            ctx.out << "No such file or folder\t" << arg << "\n";
            status = kProblems;
        }
    }
    std::unique_ptr<platform::SocketMessageBus> bus;
    try {
        bus = std::make_unique<platform::SocketMessageBus>();
    } catch (const std::exception&) {
    }
    if (!bus || !bus->FindWindow(kMainWindowClass)) {
        // Another tunquilctl command holds it; it ends by itself.
        ctx.err << "tunquilctl add: the library is in use by another copy of Tunquil. Run the "
                   "command again once that copy has ended.\n";
        return kUsage;
    }
    if (commands.empty())
        return status;
    std::size_t delivered = 0;
    HandOverResult result = HandOver(*bus, commands, std::chrono::seconds(5), &delivered);
    auto files = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " file" : " files"); };
    if (delivered > 0)
        ctx.out << "Handed "
                << (delivered < commands.size() ? std::to_string(delivered) + " of " : "")
                << files(commands.size()) << " to the running Tunquil window, which adds "
                << (delivered == 1 ? "it" : "them") << ".\n";
    switch (result) {
    case HandOverResult::Done:
        return status;
    case HandOverResult::Refused:
        ctx.err << "tunquilctl add: Tunquil is closing down; run the command again once it has "
                   "closed.\n";
        break;
    case HandOverResult::TooLong:
        ctx.err << "tunquilctl add: a path is too long to hand over to the running Tunquil "
                   "window; add the file in the window, or close it and run the command again.\n";
        break;
    case HandOverResult::NoAnswer:
        ctx.err << "tunquilctl add: the running Tunquil window did not answer; add the files in "
                   "the window, or close it and run the command again.\n";
        break;
    }
    return kProblems;
}

int Add(Context& ctx) {
    std::string category = TakeOption(ctx.args, "--category").value_or("Unknown");
    std::string artist = TakeOption(ctx.args, "--artist").value_or("Various");
    bool allowDuplicates = TakeFlag(ctx.args, "--allow-duplicates");
    RejectUnknownOptions(ctx.args);
    if (ctx.args.empty())
        throw UsageError("add needs at least one file or folder");
    if (Trim(category).empty())
        throw UsageError("--category needs a name");
    bool inUse = false;
    auto session = CtlLibrary::Open(ctx, &inUse);
    if (!session)
        return inUse ? HandAddsToWindow(ctx, category, artist, allowDuplicates) : kUsage;
    TitleImporter importer(session->host(), session->data(), session->library().Categories(),
                           session->dir());
    std::error_code ec;
    fs::create_directories(importer.TempZipsDirectory(), ec);

    int status = kOk;
    // A line is printed once its title is on disk.
    TitleImporter::AddBatch batch(importer,
                                  [&](const std::string& path, const std::string& result) {
                                      if (result != "OK")
                                          status = kProblems;
                                      ctx.out << Printable(result) << "\t" << path << "\n";
                                  });
    auto importOne = [&](const fs::path& path) {
        // One origin for one file, however it was named: "./a.mid" and "a.mid" are the same.
        fs::path full = fs::absolute(path, ec).lexically_normal();
        std::string result;
        try {
            result = importer.ImportMusicFile(full, path.filename().string(), full.string(), artist,
                                              category, true, !allowDuplicates);
        } catch (const std::exception& e) {
            result = e.what(); // this file's trouble; the others are still added
        }
        std::string upper = UpperAscii(full.string());
        if (result.empty()) {
            if (upper.find(".MID") == std::string::npos &&
                upper.find(".RMI") == std::string::npos && !IsKaraokeFileName(full) &&
                upper.find(".ZIP") == std::string::npos)
                result = "Not a MIDI file or ZIP archive";
            else
                result = "OK";
        }
        batch.Report(path.string(), result);
    };
    for (const auto& arg : ctx.args) {
        if (fs::is_directory(arg, ec)) {
            for (const auto& file : FindMidiFiles(arg))
                importOne(file);
        } else {
            importOne(arg);
        }
    }
    batch.Finish();
    return session->Finish(status);
}

int Export(Context& ctx) {
    bool zip = TakeFlag(ctx.args, "--zip");
    RejectUnknownOptions(ctx.args);
    if (ctx.args.size() != 2)
        throw UsageError("usage: export KEY PATH [--zip]");
    int key = ParseKey(ctx.args[0]);
    fs::path target = ctx.args[1];
    auto session = CtlLibrary::OpenForReading(ctx);
    if (!session)
        return kUsage;
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        // Into a folder: the file is named from the title, as the window's Save names it.
        TitleRecord record;
        if (!session->db().ReadRecordByKey(key, record)) {
            ctx.err << "tunquilctl: no title has the key " << key << "\n";
            return session->Finish(kProblems);
        }
        target = TitleFileNames(target).For(record.title, key);
        if (zip)
            target.replace_extension();
    } else if (zip) {
        // "out/x.zip" names the archive: the tune beside it is "out/x.mid", not "x.zip.mid".
        std::string extension = UpperAscii(target.extension().string());
        if (extension == ".ZIP" || extension == ".MID")
            target.replace_extension();
    }
    std::string why;
    if (!ExportTitle(session->db(), session->host(), session->dir(), key, target, zip, &why)) {
        ctx.err << "tunquilctl: " << Printable(why) << "\n";
        return session->Finish(kProblems);
    }
    if (zip)
        ctx.out << target.string() << ".mid\n" << target.string() << ".zip\n";
    else
        ctx.out << target.string() << "\n";
    return session->Finish(kOk);
}

int Archive(Context& ctx) {
    RejectUnknownOptions(ctx.args);
    if (ctx.args.size() < 2)
        throw UsageError("usage: archive OUT.zip KEY...");
    std::string out = ctx.args[0];
    std::vector<std::string> keys;
    for (std::size_t i = 1; i < ctx.args.size(); ++i)
        keys.push_back(std::to_string(ParseKey(ctx.args[i])));
    auto session = CtlLibrary::Open(ctx);
    if (!session)
        return kUsage;
    // A key without a title is an error, and nothing is written.
    for (const std::string& key : keys) {
        TitleRecord record;
        if (!session->db().ReadRecordByKey(std::stoi(key), record)) {
            ctx.err << "tunquilctl: no title has the key " << key << "\n";
            return session->Finish(kProblems);
        }
    }
    session->host().showInformation = false;
    TitleArchiver archiver(session->host(), session->db(), session->dir());
    auto outcome = archiver.ArchiveTitles(keys, out);
    if (outcome != TitleArchiver::Outcome::Completed)
        return session->Finish(kProblems);
    ctx.out << Printable(archiver.LastMessage()) << "\n";
    return session->Finish(kOk);
}

Registration add({"add",
                  "add [--category NAME] [--artist TEXT] [--allow-duplicates] PATH...",
                  Add,
                  "add MIDI files, the MIDI files in folders and in ZIP archives to the database",
                  {{"--category NAME", "the category of the new titles (default Unknown)"},
                   {"--artist TEXT", "the artist of the new titles (default Various)"},
                   {"--allow-duplicates", "add a tune that the database already holds"}}});
Registration exportCommand({"export",
                            "export KEY PATH [--zip]",
                            Export,
                            "save a title's tune as a MIDI file, into a folder or as PATH",
                            {{"--zip", "save it packed in a ZIP archive"}}});
Registration archive({"archive", "archive OUT.zip KEY...", Archive,
                      "write titles with their information into a title archive"});

} // namespace

} // namespace tunquil::ctl
