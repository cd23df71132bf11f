#pragma once
// The add-local-files window: the user browses the local drives, collects files into a target
// list, chooses an artist and a category, and the main window imports the list. The window
// itself only finds or adds the artist and category; the import is the caller's.

#include "base/Host.h"
#include "platform/Drives.h"

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QListWidget;
class QLineEdit;
class QListWidgetItem;
class QPushButton;

namespace tunquil {
class TCatList;
class TPerfList;
} // namespace tunquil

namespace tunquil::ui {

class TargetList;

class TGetLocalF : public QDialog {
    Q_OBJECT
public:
    TGetLocalF(IHost& host, platform::IDrives& drives, QWidget* parent = nullptr);

    // What the window does on showing: duplicates refused, the target list emptied, OK
    // disabled, and the combos filled from the lists, each keeping the text it shows.
    void Prepare(TCatList& categories, TPerfList& performers);
    // The artist and category chosen, found or added; OK and Enter in the Categories box call
    // it with the performer and category keys.
    std::function<void(int32_t pk, int32_t ck)> onApply;

    // The folder whose files the file list shows.
    void SetDirectory(const QString& directory);
    QString Directory() const { return directory_; }
    // Adds the selected entries of the file list to the target list; takes the selected
    // entries of the target list back out.
    void AddSelectedFiles();
    void RemoveSelectedTargets();
    // Adds full paths; one already there is not added again, and the list stays sorted.
    void AddTargets(const QStringList& paths);
    QStringList Targets() const;
    void ClearTargets();
    bool RefuseDuplicates() const;
    // The category this showing added to the list (0 when it added none), so that a Load that
    // files nothing under it can take it out again.
    int32_t AddedCategory() const { return addedCategory_; }

    QComboBox* DriveBox() const { return drives_; }
    QListWidget* DirectoryList() const { return dirList_; }
    QComboBox* FilterBox() const { return filter_; }
    QListWidget* FileList() const { return fileList_; }
    QListWidget* TargetListWidget() const;
    QComboBox* ArtistBox() const { return artists_; }
    QComboBox* CategoryBox() const { return categories_; }
    QCheckBox* DuplicatesBox() const { return noDuplicates_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLineEdit* FolderField() const { return folder_; }
    QPushButton* RemoveButton() const { return remove_; }

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DriveChange(int index);
    void ShowFiles();
    // Finds or adds the artist and category shown; false when no list was given.
    bool Apply();

    IHost& host_;
    platform::IDrives& driveLayer_;
    TCatList* categoryList_ = nullptr;
    TPerfList* performerList_ = nullptr;
    std::vector<int32_t> categoryKeys_;  // paired with the Categories entries
    std::vector<int32_t> performerKeys_; // paired with the Artists entries
    int previousDrive_ = -1;
    int32_t addedCategory_ = 0;
    QString directory_;

    QComboBox* drives_;
    QListWidget* dirList_;
    QComboBox* filter_;
    QListWidget* fileList_;
    TargetList* targets_;
    QComboBox* artists_;
    QComboBox* categories_;
    QCheckBox* noDuplicates_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QLineEdit* folder_;   // the folder the lists show; a folder typed there is taken
    QPushButton* remove_; // takes the selected picks back out
};

} // namespace tunquil::ui
