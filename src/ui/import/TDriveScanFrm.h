#pragma once
// The drive-scan window: the user picks a drive, a folder, an artist and a category, and the
// scan files every "*.mid" below the folder under them. The window is a view over MidiScanner:
// the main window runs the scan (onScan) after Attach, so counts, progress and both Stop
// buttons reach the scanner.

#include "import/MidiScanner.h"
#include "ui/import/ScanWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tunquil::ui {

class TDriveScanFrm : public ScanWindow {
    Q_OBJECT
public:
    static constexpr const char* kArtistPrompt = "<Select or enter an artist>";
    static constexpr const char* kCategoryPrompt = "<Select or enter a category>";

    struct Choices {
        std::string directory;
        bool checkDuplicates = true;
        std::string lastName;
        std::string firstName;
        std::string category;
    };

    TDriveScanFrm(IHost& host, platform::IDrives& drives, QWidget* parent = nullptr);

    // A drive chosen in a drive box: true when it is ready, or when it is after the user was
    // asked to insert a disk and answered OK.
    static bool DriveReady(IHost& host, platform::IDrives& drives, const QString& root);

    // What the window does on showing: the Categories box gets the names, the Artists box the
    // performers (first name, last name) as "Last, First"; prompts, options, counts, progress
    // and buttons back to their first state; the drive list read again.
    void Prepare(const std::vector<std::string>& categories,
                 const std::vector<std::pair<std::string, std::string>>& performers);
    // Runs the scan with the choices once "&Scan !" has checked them; the window closes with OK
    // when it returns.
    std::function<void(const Choices&)> onScan;

    // Chooses the folder to scan; the directory list shows its sub-folders.
    void SetDirectory(const QString& directory);
    QString Directory() const { return directory_; }

    QComboBox* DriveBox() const { return drives_; }
    QListWidget* DirectoryList() const { return dirList_; }
    QComboBox* ArtistBox() const { return artists_; }
    QComboBox* CategoryBox() const { return categories_; }
    QRadioButton* IgnoreOption() const { return ignore_; }
    QRadioButton* AddOption() const { return addAnyway_; }
    QLineEdit* DirectoriesScanned() const { return dirCount_; }
    QLineEdit* FilesFound() const { return fileCount_; }
    QLineEdit* DirectoryField() const { return dirField_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DriveChange(int index);
    void DirectoryActivated(QListWidgetItem* item);
    void ScanClick();
    bool ReadChoices(Choices& choices) const;
    void AttachSearch(MidiScanner& scanner) override;
    void SetIdle(bool idle) override;

    IHost& host_;
    platform::IDrives& driveLayer_;
    std::vector<std::pair<std::string, std::string>> performers_;
    int previousDrive_ = -1;
    QString directory_; // the folder to scan
    QString listed_;    // the folder whose sub-folders the list shows

    QComboBox* drives_;
    QListWidget* dirList_;
    QComboBox* artists_;
    QComboBox* categories_;
    QRadioButton* ignore_;
    QRadioButton* addAnyway_;
    QLineEdit* dirCount_;
    QLineEdit* fileCount_;
    QLineEdit* dirField_;
};

} // namespace tunquil::ui
