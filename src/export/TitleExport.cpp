#include "export/TitleExport.h"

#include "base/Files.h"
#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "database/TMusicLibrary.h"
#include "database/TMyDB.h"
#include "export/archive/StoredTune.h"

#include <cerrno>
#include <cstdio>

namespace tunquil {

std::string SafeTitleFileName(const std::string& title, int32_t masterKey) {
    std::string name = title;
    for (char& c : name) {
        auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        return std::to_string(masterKey);
    // A ".." run becomes "_" as well, so no name ever reads as a step to a parent folder.
    for (std::size_t at = name.find(".."); at != std::string::npos; at = name.find("..", at))
        name.replace(at, 2, "_");
    return name;
}

bool TitleFileNames::Taken(const std::string& fileName) const {
    std::error_code ec;
    return given_.count(UpperAscii(fileName)) != 0 || fs::exists(dir_ / fileName, ec);
}

fs::path TitleFileNames::For(const std::string& title, int32_t masterKey) {
    std::string name = SafeTitleFileName(title, masterKey);
    std::string file = name + ".mid";
    if (Taken(file))
        file = name + " (" + std::to_string(masterKey) + ").mid";
    given_.insert(UpperAscii(file));
    return dir_ / file;
}

namespace {

// The title stays safe in the database, so the copy needs no flush; only a move across file
// systems needs the copying fallback.
void MoveInto(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return;
    if (errno != EXDEV)
        throw FileError(DescribeErrno("Cannot write", to, errno));
    MoveFileReplacing(from, to);
}

} // namespace

bool ExportTitle(TMyDB& db, IHost& host, const fs::path& programDirectory, int32_t masterKey,
                 const fs::path& target, bool zip, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    fs::path midi = target, archive = target;
    if (zip) {
        midi += ".mid";
        archive += ".zip";
    }
    for (const auto& written : {midi, archive})
        if (IsLibraryFile(db, programDirectory, written))
            return fail("Cannot export to " + written.string() +
                        ": it is one of the files of the music database");
    fs::path trash = TrashDirectory(programDirectory);
    std::error_code ec;
    fs::create_directories(trash, ec);
    // The stored archive is opened straight from the database's bytes: no scratch copy of it
    // is written and deleted for every title.
    std::string stored;
    if (!db.ReadStoredData(masterKey, stored))
        return fail("Title " + std::to_string(masterKey) + " has no stored data");
    fs::path unpacked;
    if (!UnzipOneTune(host, std::move(stored), trash, unpacked))
        return fail("The stored data of title " + std::to_string(masterKey) + " do not unpack");

    // With the zip flag the tune lands beside the target as target.mid: a file that happens to
    // bear the target's own name is left alone. Either way an old file stays until the new one
    // is in place.
    try {
        MoveInto(unpacked, midi);
    } catch (const FileError& e) {
        fs::remove(unpacked, ec);
        return fail(e.what());
    }
    if (!zip)
        return true;

    fs::path fresh;
    try {
        // Written beside the archive and renamed over it: an old archive survives a failure.
        fresh = UniqueSibling(archive);
        ZipOneFile(midi, fresh);
        MoveInto(fresh, archive);
    } catch (const std::exception& e) {
        fs::remove(midi, ec);
        if (!fresh.empty())
            fs::remove(fresh, ec);
        return fail(e.what());
    }
    return true;
}

} // namespace tunquil
