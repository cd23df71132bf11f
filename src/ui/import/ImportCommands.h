#pragma once
// Getting tunes into the library: the Load window, the drive and system scans, files and
// folders dropped from the desktop, and archives imported under their progress window.

#include "platform/Drives.h"
#include "ui/MasterWindow.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QMenu;
class QMimeData;

namespace tunquil::ui {

class TGetLocalF;

class ImportCommands : public QObject {
public:
    explicit ImportCommands(IMasterWindow& window);
    ~ImportCommands() override;

    // "&Open" and the two scans of the File menu.
    void AddFileItems(QMenu* menu);

    void OpenLocalFiles();
    void ScanDrive();
    void ScanSystem();

    // Files and folders dragged from the desktop: whether the window takes them now, and the
    // drop itself (the import runs once the drop has returned).
    bool AcceptsDrop(const QMimeData* data) const;
    bool Drop(const QMimeData* data);

private:
    void ImportDroppedPaths(const std::vector<fs::path>& paths);
    // The import dispatcher; an archive of 5 entries or more is imported under its progress
    // window.
    std::string ImportShowingProgress(const fs::path& path, const std::string& title,
                                      const std::string& origin, const std::string& performer,
                                      const std::string& category, bool assign, bool addOption);
    platform::IDrives& DriveLayer();
    // Takes the category a Load added back out when no title was filed under it.
    void DropUnusedCategory(int32_t ck);
    // A scan window's run: the scanner it drives, the window centred and shown modally, the
    // views brought up to date after it.
    template <class ScanWindow, class OnScan> void RunScanWindow(ScanWindow& frm, OnScan onScan);

    IMasterWindow& window_;
    std::unique_ptr<platform::IDrives> drives_;
    QPointer<TGetLocalF> getLocal_;
};

} // namespace tunquil::ui
