#pragma once
// The window shown while a ZIP archive of MIDI files is imported: the members extracted, then
// the files added to the database, with Cancel. Used for archives of five members or more;
// smaller ones import under the hourglass alone.

#include "ui/export/ArchiveProgressWindow.h"

#include <filesystem>

namespace tunquil {
class TitleImporter;
}

namespace tunquil::ui {

class TArchiveForm : public ArchiveProgressWindow {
    Q_OBJECT
public:
    TArchiveForm(IHost& messages, QWidget* owner = nullptr);

    // Imports the archive of `entryCount` members with this window up; `import` is given the
    // window's host and returns the import's result text, which is returned here.
    std::string ImportArchive(int entryCount, const std::function<std::string(IHost&)>& import);

    // Set by Cancel as well as the window's own flag: the import loop of the main window
    // watches it between members.
    std::function<void()> onCancel;

protected:
    void CancelClicked() override;
};

} // namespace tunquil::ui
