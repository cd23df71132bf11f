#pragma once
// The categories (Categories.des): the tabs over the title grids. Kept sorted by name while
// the program runs; saved whole (new file, flushed, renamed over the old one).

#include "base/Files.h"
#include "database/ListFile.h"
#include "database/ListRecords.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;
class TAlbList;

class TCatList {
public:
    explicit TCatList(fs::path programDirectory);

    // Reads program directory + name + ".des" (created empty when missing) and sorts by name.
    // Throws FileError when the file cannot be read or created; the list is then never saved.
    void Load(const std::string& name = "Categories");
    // The same without creating the file (a missing one is an empty list), for a reader beside
    // the copy that owns the directory.
    void LoadForReading(const std::string& name = "Categories");
    // Writes the list when it differs from the file (FileError when it cannot, or when the
    // file was not read whole).
    void Save();

    const std::vector<CategoryRecord>& Items() const { return items_; }
    std::vector<CategoryRecord>& Items() { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    const fs::path& FilePath() const { return path_; }
    int RecordsReadAtLoad() const { return readAtLoad_; }

    int32_t HighestCK() const;
    std::string NameOf(int32_t ck) const;              // "" when unknown
    int32_t FindByName(const std::string& name) const; // exact, case-sensitive; 0 if none
    int IndexOf(int32_t ck) const;                     // -1 when unknown
    // Find-or-create (exact name); a new category is appended and the list saved.
    int32_t AddCategory(const std::string& name);
    // Renames; a name that another category has exactly merges this one into it.
    void RenameCategory(int32_t ck, const std::string& newName);
    // Deletes the category and marks its live titles deleted; each of their keys goes to
    // `perKey` (when given) and they leave every album. When some title cannot be deleted,
    // the others still are and the category stays; DatabaseError then names those titles.
    void DeleteCategory(int32_t ck, const std::function<void(int32_t)>& perKey = {});
    // Drops categories no live title uses or whose name is blank, then saves.
    void Purge();
    void SortByName();
    // Sorts by name and fills the names and their keys (decimal) in that order.
    void FillNameLists(std::vector<std::string>& names, std::vector<std::string>& keys);

    void SetDatabase(TMyDB* db) { db_ = db; }
    void SetAlbumList(TAlbList* albums) { albums_ = albums; }

private:
    void Announce() const;

    fs::path directory_, path_;
    RecordFile file_;
    int readAtLoad_ = 0;
    std::vector<CategoryRecord> items_;
    TMyDB* db_ = nullptr;
    TAlbList* albums_ = nullptr;
};

} // namespace tunquil
