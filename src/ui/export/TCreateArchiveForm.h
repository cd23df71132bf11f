#pragma once
// The window shown while titles are archived into one ZIP file: the titles prepared, then the
// archive written, with Cancel.

#include "export/archive/TitleArchiver.h"
#include "ui/export/ArchiveProgressWindow.h"

namespace tunquil::ui {

class TCreateArchiveForm : public ArchiveProgressWindow {
    Q_OBJECT
public:
    TCreateArchiveForm(IHost& messages, QWidget* owner = nullptr);

    // Archives the titles (master keys) into `archiveName` with this window up; the archiver
    // tells the user how it went.
    TitleArchiver::Outcome BuildTitleArchive(TMyDB& db, const std::filesystem::path& programDir,
                                             const std::string& archiveName,
                                             const std::vector<int32_t>& masterKeys);
    // Lets the play program start a title it held back while the database was busy.
    std::function<void()> startDeferredTitle;
    std::function<bool()> shuttingDown;
};

} // namespace tunquil::ui
