#pragma once
// The performers (Artists.des), shown to the user as artists.

#include "base/Files.h"
#include "database/ListFile.h"
#include "database/ListRecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

class TMyDB;

class TPerfList {
public:
    explicit TPerfList(fs::path programDirectory);

    // Reads program directory + name + ".des" when it exists and sorts by last name. Throws
    // FileError when the file cannot be read; the list is then never saved.
    void Load(const std::string& name = "Artists");
    // Writes the list when it differs from the file (FileError when it cannot, or when the
    // file was not read whole).
    void Save();

    const std::vector<PerformerRecord>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    const fs::path& FilePath() const { return path_; }

    int32_t HighestPK() const;
    // First and last name of the performer; false (both empty) when unknown.
    bool NamesOf(int32_t pk, std::string& first, std::string& last) const;
    int32_t Find(const std::string& first, const std::string& last) const; // ignoring case
    // Find-or-create; a new performer is appended and the list saved.
    int32_t FindOrAdd(const std::string& first, const std::string& last);
    void Purge(); // drops performers no live title uses or with a blank name, then saves
    void SortByLastName();
    void FillNameLists(std::vector<std::string>& firstNames, std::vector<std::string>& lastNames,
                       std::vector<std::string>& keys);

    void SetDatabase(TMyDB* db) { db_ = db; }

private:
    fs::path directory_, path_;
    RecordFile file_;
    std::vector<PerformerRecord> items_;
    TMyDB* db_ = nullptr;
};

// Artist text as the adding dialogs take it: "Last, First" (or just a last name).
void SplitArtistText(const std::string& text, std::string& first, std::string& last);
std::string JoinArtistText(const std::string& first, const std::string& last);

} // namespace tunquil
