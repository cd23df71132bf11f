#pragma once
// The mail's compressed archive written with the program's own zipper.

#include "export/mail/MailSources.h"

namespace tunquil {

class ZipArchiveWriter : public IArchiveWriter {
public:
    void WriteArchive(const std::filesystem::path& archive,
                      const std::vector<std::filesystem::path>& files) override;
};

} // namespace tunquil
