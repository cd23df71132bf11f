#include "export/archive/StoredTune.h"

#include "base/Files.h"
#include "export/archive/TAbUnZipper.h"
#include "export/archive/TAbZipper.h"

#include <cerrno>
#include <functional>
#include <sys/stat.h>

namespace tunquil {

namespace {

// Opens a stored-tune archive as the player and the export do: "" once it is open on its one
// tune, otherwise the message that tells why it is not.
std::string OpenStoredTune(TAbUnZipper& unzipper, const std::function<void(TAbUnZipper&)>& open) {
    try {
        open(unzipper);
        if (unzipper.Count() != 1)
            return "Valid archive format but " + std::to_string(unzipper.Count()) +
                   " files in archive";
        if (!unzipper.IsFileEntry(0))
            throw EZipError("Entry " + unzipper.EntryName(0) + " is not a file");
        std::string problem = unzipper.NameProblem(0);
        if (!problem.empty())
            throw EZipError(problem);
    } catch (const std::exception& e) {
        return std::string("Unzipping error: ") + e.what();
    }
    return {};
}

bool ExtractSingleEntry(IHost& host, const std::function<void(TAbUnZipper&)>& open,
                        const fs::path& destination, fs::path& extracted) {
    auto fail = [&](const std::string& text) {
        host.ShowMessage(text, TMsgDlgType::mtError, 0, mbAbort);
        return false;
    };
    fs::path dir = destination;
    if (!dir.has_filename() && dir.has_parent_path())
        dir = dir.parent_path();
    TAbUnZipper unzipper;
    std::string problem = OpenStoredTune(unzipper, open);
    if (!problem.empty())
        return fail(problem);
    try {
        std::error_code ec;
        if (!fs::is_directory(dir, ec))
            throw EZipError("Directory " + dir.string() + " does not exist");
        fs::path target = dir / unzipper.EntryName(0);
        unzipper.ExtractEntries({{0, target}});
        extracted = target;
    } catch (const std::exception& e) {
        return fail(std::string("Unzipping error: ") + e.what());
    }
    return true;
}

} // namespace

bool ZipOneFile(const fs::path& source, const fs::path& archive) {
    std::error_code ec;
    fs::remove(archive, ec);
    TAbZipper zipper;
    zipper.SetBaseDirectory(source.parent_path());
    zipper.Open(archive);
    zipper.AddFile(source.filename());
    zipper.Save();
    return true;
}

bool UnzipOneFile(IHost& host, const fs::path& archive, const fs::path& destination,
                  fs::path& extracted) {
    // An archive that cannot be read at all is worth a beep; trouble inside one is not.
    auto fail = [&](const std::string& text) {
        host.Beep();
        host.ShowMessage(text, TMsgDlgType::mtError, 0, mbAbort);
        return false;
    };
    struct stat sb {};
    if (::stat(archive.c_str(), &sb) != 0)
        return fail("Archive file exception: " + DescribeErrno("Cannot open", archive, errno));
    if (!S_ISREG(sb.st_mode))
        return fail("Archive file exception: " + archive.string() + " is not a file");
    if (sb.st_size == 0)
        return fail("0 bytes in archive!");

    return ExtractSingleEntry(
        host, [&](TAbUnZipper& u) { u.Open(archive); }, destination, extracted);
}

bool UnzipOneTune(IHost& host, std::string archiveBytes, const fs::path& destination,
                  fs::path& extracted) {
    if (archiveBytes.empty()) {
        host.Beep();
        host.ShowMessage("0 bytes in archive!", TMsgDlgType::mtError, 0, mbAbort);
        return false;
    }
    return ExtractSingleEntry(
        host, [&](TAbUnZipper& u) { u.OpenBytes(std::move(archiveBytes)); }, destination,
        extracted);
}

std::string UnpackStoredTune(std::string archiveBytes) {
    if (archiveBytes.empty())
        throw EZipError("0 bytes in archive!");
    TAbUnZipper unzipper;
    std::string problem =
        OpenStoredTune(unzipper, [&](TAbUnZipper& u) { u.OpenBytes(std::move(archiveBytes)); });
    if (!problem.empty())
        throw EZipError(problem);
    try {
        return unzipper.ReadEntry(0);
    } catch (const std::exception& e) {
        throw EZipError(std::string("Unzipping error: ") + e.what());
    }
}

} // namespace tunquil
