#include "export/archive/ZipArchiveWriter.h"

#include "export/archive/TAbZipper.h"

namespace tunquil {

void ZipArchiveWriter::WriteArchive(const std::filesystem::path& archive,
                                    const std::vector<std::filesystem::path>& files) {
    TAbZipper zipper;
    zipper.Open(archive);
    for (const std::filesystem::path& file : files)
        zipper.AddFile(file);
    zipper.Save();
}

} // namespace tunquil
