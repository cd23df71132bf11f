#pragma once
// The database with its category and album lists, opened and wired together as the program
// does at start-up and closed in the order of its shut-down. The main window and every
// tunquilctl command that works on titles share this one sequence.

#include "base/Host.h"
#include "database/TAlbList.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"

#include <memory>

namespace tunquil {

class TMusicLibrary {
public:
    TMusicLibrary(fs::path programDirectory, IHost& host);
    ~TMusicLibrary(); // closes when Close was not called
    TMusicLibrary(const TMusicLibrary&) = delete;
    TMusicLibrary& operator=(const TMusicLibrary&) = delete;

    // Takes the program directory for this copy of the program (refused with the in-use
    // message while another copy has it), loads the category list, opens the database at program
    // directory + "Music" and links the lists to it. Throws (DatabaseError, FileError) when the
    // database cannot be used.
    void OpenDatabase();
    // Loads the album list; the window does this once its views are in place.
    void LoadAlbums();
    // Both of the above.
    void Open();
    // Reads the library while another copy may hold it (see TMyDB::OpenForReading): no lock is
    // taken and nothing is written, now or at Close. Albums included.
    void OpenForReading();
    bool ReadOnly() const { return readOnly_; }

    // Saves the albums, purges the categories, closes the database (which purges the
    // performers and packs). Every step runs even when one before it failed; each failure is
    // shown through the host as an error. Does nothing the second time. Opened for reading,
    // only closes the files.
    void Close();
    bool IsOpen() const { return data_ && data_->Database().IsOpen(); }

    const fs::path& ProgramDirectory() const { return programDirectory_; }
    IHost& Host() { return host_; }
    TDMM2& Data() { return *data_; }
    TDMM2* DataModule() const { return data_.get(); } // null before OpenDatabase
    TMyDB& Database() { return data_->Database(); }
    TCatList& Categories() { return categories_; }
    TAlbList& Albums() { return albums_; }

private:
    fs::path programDirectory_;
    IHost& host_;
    TCatList categories_;
    TAlbList albums_;
    std::unique_ptr<TDMM2> data_;
    FileLock session_;
    bool readOnly_ = false;
};

// True when `path` names one of the files that hold the library or its settings in the program
// directory (also through a symbolic link or another spelling of the path): nothing exported
// or saved may land on one of them.
bool IsLibraryFile(const TMyDB& db, const fs::path& programDirectory, const fs::path& path);

} // namespace tunquil
