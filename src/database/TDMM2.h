#pragma once
// The data module: owns the database and the performer list, and carries the operations on
// titles that need names from the lists (add, update) and the shut-down sequence.

#include "base/Host.h"
#include "database/TMyDB.h"
#include "database/TPerfList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

class TCatList;
class TAlbList;

class TDMM2 {
public:
    // Creates the database (not open) and loads the performer list "Artists".
    TDMM2(fs::path programDirectory, IHost& host);

    TMyDB& Database() { return db_; }
    TPerfList& Performers() { return performers_; }
    const fs::path& ProgramDirectory() const { return programDirectory_; }

    // Opens program directory + "Music" and links the lists to it.
    void OpenDatabase();
    void SetCategoryList(TCatList* categories) { categories_ = categories; }
    void SetAlbumList(TAlbList* albums);

    // Adds a title with its stored data; returns its master key. Throws DatabaseError or
    // FileError and changes nothing when the data cannot be stored.
    int32_t AddTitle(const fs::path& storedDataPath, const std::string& title, bool batch,
                     double dateObtained, int32_t seconds, int32_t pk, int32_t ck,
                     const std::string& origin);
    // False when the key is unknown or the category or performer is (the latter two told).
    bool UpdateTitleInfo(int32_t masterKey, bool batch, int32_t pk, int32_t ck,
                         const std::string& title);
    bool DeleteTitle(int32_t masterKey);
    // Deletes the titles and takes them out of every album (the main window's delete); returns
    // how many were deleted. A title that cannot be deleted does not stop the others: its key
    // and why go to `failures` when given, else one DatabaseError tells them all at the end.
    int DeleteTitlesEverywhere(const std::vector<int32_t>& masterKeys,
                               std::vector<std::string>* failures = nullptr);
    // Purges and saves the performers, packs when titles were deleted, closes the database;
    // each step runs even when the one before failed (the failure is shown).
    void Close();
    bool Closing() const { return closing_; }

    struct PackResult {
        bool packed = false;
        int deleted = 0;
        int kept = 0;
    };
    // What the pack of the last Close did.
    const PackResult& LastPack() const { return lastPack_; }

private:
    fs::path programDirectory_;
    IHost& host_;
    bool closing_ = false;
    PackResult lastPack_;
    TMyDB db_;
    TPerfList performers_;
    TCatList* categories_ = nullptr;
    TAlbList* albums_ = nullptr;
};

} // namespace tunquil
