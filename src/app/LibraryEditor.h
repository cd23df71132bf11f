#pragma once
// The editing commands of the category and album areas, without their windows: the
// confirmations and notices go through the host, the work to the lists and the database. The
// main window and tunquilctl call these and keep only the choosing of names and selections.

#include "base/Host.h"
#include "database/TMusicLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

class PlayProgram;

// The title-information window's marker for "keep each title's own key" (several titles).
constexpr int32_t kKeepOwnKey = -99;

// What the title-information window shows for the titles being edited: for one title its own
// texts; for several only what they all share (the rest empty), and no title text.
struct TitleEditPrefill {
    int count = 0;
    std::string title;
    std::string firstName, lastName;
    std::string categoryName;
};

// What the title-information window returns when confirmed: a category and performer key
// (kKeepOwnKey: each title keeps its own; only for several) and the title text (one title).
struct TitleEditResult {
    int32_t ck = kKeepOwnKey;
    int32_t pk = kKeepOwnKey;
    std::string title;
};

// The confirmation texts, as the commands ask them.
namespace edit_text {
std::string DeleteCategoryFirst(const std::string& categoryName);  // M1
std::string DeleteCategorySecond(const std::string& categoryName); // M2
std::string DeleteAlbum(const std::string& albumName);             // M3
std::string DeleteOneTitle(const std::string& title);              // M4
std::string DeleteSeveralTitles(int count);
std::string RemoveOneFromAlbum(const std::string& albumName);                // M5
std::string RemoveSeveralFromAlbum(int count, const std::string& albumName); // M6
// An album's name as the messages show it: trimmed and cut to 25 bytes (whole characters).
std::string AlbumNameForMessages(const std::string& name);
extern const char kNewCategoryNotice[];
extern const char kAllCategoriesNotRenameable[];
extern const char kAllCategoriesNotDeletable[];
} // namespace edit_text

class LibraryEditor {
public:
    // `program`, when given, loses every title deleted here (the main window's play program).
    LibraryEditor(TMusicLibrary& library, IHost& host, PlayProgram* program = nullptr);

    // --- categories. The "ALL CATEGORIES" page is the caller's: it shows the notices above.
    // Adds (or finds, exact name) the category and tells that an empty one is purged after the
    // session. Returns its key; 0 for a blank name (nothing happens then).
    int32_t CreateCategory(const std::string& name);
    // Renames or merges (a name another category has exactly). False for an unknown key or a
    // blank name.
    bool RenameCategory(int32_t ck, const std::string& newName);
    // Asks M1, beeps, asks M2; on OK to both deletes the category with its titles (out of the
    // play program and every album). True when it was deleted. Titles that cannot be deleted
    // are told in one error message; the others go and the category stays with those.
    bool DeleteCategory(int32_t ck);

    // --- albums
    int32_t CreateAlbum(const std::string& name); // find-or-create (ignoring case); 0 if blank
    bool RenameAlbum(int32_t albumKey, const std::string& newName); // merges on a taken name
    bool DeleteAlbum(int32_t albumKey);                             // asks M3
    // Asks twice ("Are you sure..." Yes/Cancel, then OK/Abort), then deletes every album from
    // the last to the first. True when they were deleted.
    bool DeleteAllAlbums();

    // --- titles
    // Delete from the database (the category area's Trash): asks M4 or the several-title text
    // (OK/Cancel), then deletes each title, takes it out of the play program and every album.
    // A title that fails does not stop the others; the failures are told in one message at the
    // end. Returns how many were deleted.
    int DeleteTitlesFromDatabase(const std::vector<int32_t>& keys);
    // The delete menu's "Titles selected": one warning (OK/Abort), then as above.
    int DeleteSelectedTitles(const std::vector<int32_t>& keys);
    // Removes the album's rows (0-based) after M5 or M6; the titles stay in the database.
    // True when rows were removed.
    bool DeleteTitlesFromAlbum(int32_t albumKey, const std::vector<int>& rows);

    // What the title-information window starts from for these titles.
    TitleEditPrefill PrefillFor(const std::vector<int32_t>& keys) const;
    // Applies a confirmed result: one title takes the title text, performer and category;
    // several keep their own title text and, where the result says kKeepOwnKey, their own key.
    // Returns how many titles were updated.
    int ApplyTitleEdit(const std::vector<int32_t>& keys, const TitleEditResult& result);

private:
    int DeleteTitles(const std::vector<int32_t>& keys);

    TMusicLibrary& library_;
    IHost& host_;
    PlayProgram* program_;
};

} // namespace tunquil
