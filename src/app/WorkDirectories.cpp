#include "app/WorkDirectories.h"

#include "database/DirectoryUtils.h"

namespace tunquil {

const std::vector<WorkDirectory>& WorkDirectories() {
    static const std::vector<std::string> tunes{"*.mid", "*.kar", "*.rmi",
                                                "*.zip", "*.gif", "*.jpg"};
    // TempTrash holds the reset files M.dat and S.dat rather than MIDI files.
    static const std::vector<WorkDirectory> dirs{
        {"TempTune", tunes}, {"TempZips", tunes},
        {"TempMail", tunes}, {"TempTrash", {"*.dat", "*.rmi", "*.zip", "*.gif", "*.jpg"}},
        {"BackUp", {}},
    };
    return dirs;
}

void PrepareWorkDirectories(IHost& host, const std::filesystem::path& programDirectory) {
    for (const WorkDirectory& w : WorkDirectories()) {
        std::filesystem::path dir = programDirectory / w.name;
        std::error_code ec;
        // A link in a work folder's place is replaced by a folder: clearing the work folder
        // must never empty the folder a link leads to.
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(dir, ec)))
            std::filesystem::remove(dir, ec);
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            host.ShowMessage(DescribeErrno("Cannot create the work directory", dir, ec.value()),
                             TMsgDlgType::mtError, 0, mbOK);
            continue;
        }
        for (const std::string& mask : w.masks)
            ClearDirectory(host, programDirectory, dir, mask);
    }
}

} // namespace tunquil
