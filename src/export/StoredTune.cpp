#include "export/StoredTune.h"

#include "base/Files.h"
#include "export/TAbUnZipper.h"
#include "export/TAbZipper.h"

#include <cerrno>
#include <sys/stat.h>

namespace tunquil {

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
    auto fail = [&](const std::string& text) {
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

    fs::path dir = destination;
    if (!dir.has_filename() && dir.has_parent_path())
        dir = dir.parent_path();
    try {
        TAbUnZipper unzipper;
        unzipper.Open(archive);
        if (unzipper.Count() != 1)
            return fail("Valid archive format but " + std::to_string(unzipper.Count()) +
                        " files in archive");
        std::string name = unzipper.EntryName(0);
        unzipper.SetBaseDirectory(dir);
        if (unzipper.ExtractFiles(name) != 1)
            throw EZipError("Entry " + name + " is not a file");
        extracted = dir / name;
    } catch (const std::exception& e) {
        return fail(std::string("Unzipping error: ") + e.what());
    }
    return true;
}

} // namespace tunquil
