#include "app/LibraryEditor.h"

#include "app/PlayProgram.h"
#include "base/Text.h"

#include <algorithm>

namespace tunquil {

namespace edit_text {

const char kNewCategoryNotice[] = "Please note this category will be purged after this session\r\n"
                                  "            unless you add titles to it!";
const char kAllCategoriesNotRenameable[] = "\"ALL CATEGORIES\" is not a renameable single category";
const char kAllCategoriesNotDeletable[] =
    "\"ALL CATEGORIES\" is not a delete-able single category!";

std::string DeleteCategoryFirst(const std::string& categoryName) {
    return "Permanently delete all \"" + categoryName + "\" titles from the database?";
}

std::string DeleteCategorySecond(const std::string& categoryName) {
    // Only a-z are capitalised: other bytes may be parts of a multi-byte character.
    return "All \"" + UpperAscii(categoryName) + "\" titles will be deleted!";
}

std::string DeleteAlbum(const std::string& albumName) {
    return "Permanently delete album \"" + albumName + "\" ?";
}

std::string DeleteOneTitle(const std::string& title) {
    return "Permanently delete \"" + title + "\" from the database and all albums?";
}

std::string DeleteSeveralTitles(int count) {
    return "Permanently delete these " + std::to_string(count) +
           " titles fom the database and all albums?";
}

std::string RemoveOneFromAlbum(const std::string& albumName) {
    return "Delete this title from album \"" + albumName + "\" ?";
}

std::string RemoveSeveralFromAlbum(int count, const std::string& albumName) {
    return "Delete these " + std::to_string(count) + " titles from album \"" + albumName + "\" ?";
}

std::string AlbumNameForMessages(const std::string& name) {
    return CutUtf8(Trim(name), 25);
}

} // namespace edit_text

LibraryEditor::LibraryEditor(TMusicLibrary& library, IHost& host, PlayProgram* program)
    : library_(library), host_(host), program_(program) {}

int32_t LibraryEditor::CreateCategory(const std::string& name) {
    std::string trimmed = Trim(name);
    if (trimmed.empty())
        return 0;
    int32_t ck = 0;
    {
        BusyScope busy(host_);
        RunShowingFailure(
            host_, "Saving categories: ", [&] { ck = library_.Categories().AddCategory(trimmed); });
    }
    if (ck == 0)
        return 0;
    host_.ShowMessage(edit_text::kNewCategoryNotice, TMsgDlgType::mtInformation, 0, mbOK);
    return ck;
}

bool LibraryEditor::RenameCategory(int32_t ck, const std::string& newName) {
    if (library_.Categories().IndexOf(ck) < 0 || Trim(newName).empty())
        return false;
    BusyScope busy(host_);
    // Every title of the category changes, and with it every album entry of it: one album save.
    TAlbList::DeferSaves oneSave(library_.Albums());
    library_.Categories().RenameCategory(ck, newName);
    return true;
}

bool LibraryEditor::DeleteCategory(int32_t ck) {
    TCatList& categories = library_.Categories();
    if (categories.IndexOf(ck) < 0)
        return false;
    std::string name = Trim(categories.NameOf(ck));
    if (host_.ShowMessage(edit_text::DeleteCategoryFirst(name), TMsgDlgType::mtConfirmation, 0,
                          mbOK | mbCancel) != TModalResult::mrOk)
        return false;
    host_.Beep();
    if (host_.ShowMessage(edit_text::DeleteCategorySecond(name), TMsgDlgType::mtWarning, 0,
                          mbOK | mbCancel) != TModalResult::mrOk)
        return false;
    BusyScope busy(host_);
    TAlbList::DeferSaves oneSave(library_.Albums());
    try {
        categories.DeleteCategory(ck, [&](int32_t key) {
            if (program_)
                program_->RemoveTitle(key);
        });
    } catch (const std::exception& e) {
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
    return true;
}

int32_t LibraryEditor::CreateAlbum(const std::string& name) {
    if (Trim(name).empty())
        return 0;
    BusyScope busy(host_);
    int32_t key = 0;
    RunShowingFailure(host_, "Saving albums: ", [&] { key = library_.Albums().AddAlbum(name); });
    return key;
}

bool LibraryEditor::RenameAlbum(int32_t albumKey, const std::string& newName) {
    if (library_.Albums().IndexOf(albumKey) < 0 || Trim(newName).empty())
        return false;
    BusyScope busy(host_);
    library_.Albums().RenameAlbum(albumKey, newName);
    return true;
}

bool LibraryEditor::DeleteAlbum(int32_t albumKey) {
    const TAlbList::Album* album = library_.Albums().AlbumOf(albumKey);
    if (!album)
        return false;
    if (host_.ShowMessage(
            edit_text::DeleteAlbum(edit_text::AlbumNameForMessages(album->record.name)),
            TMsgDlgType::mtConfirmation, 0, mbOK | mbCancel) != TModalResult::mrOk)
        return false;
    BusyScope busy(host_);
    library_.Albums().DeleteAlbum(albumKey);
    return true;
}

bool LibraryEditor::DeleteAllAlbums() {
    TAlbList& albums = library_.Albums();
    std::string n = std::to_string(albums.Count());
    if (albums.Count() == 0 ||
        host_.ShowMessage("Are you sure you want to delete all " + n + " albums?",
                          TMsgDlgType::mtWarning, 0, mbYes | mbCancel) != TModalResult::mrYes ||
        host_.ShowMessage("Deletion of all " + n + " albums will proceed!", TMsgDlgType::mtWarning,
                          0, mbOK | mbAbort) != TModalResult::mrOk)
        return false;
    BusyScope busy(host_);
    TAlbList::DeferSaves oneSave(albums);
    while (albums.Count() > 0)
        albums.DeleteAlbum(albums.Items().back().record.albumKey);
    return true;
}

int LibraryEditor::DeleteTitles(const std::vector<int32_t>& keys) {
    BusyScope busy(host_);
    std::vector<std::string> failures;
    int deleted;
    {
        TAlbList::DeferSaves oneSave(library_.Albums());
        deleted = library_.Data().DeleteTitlesEverywhere(keys, &failures);
    }
    if (program_)
        for (int32_t key : keys)
            if (library_.Database().FindSlot(key) == 0)
                program_->RemoveTitle(key);
    if (!failures.empty())
        host_.ShowMessage(DescribeDeleteFailures(failures), TMsgDlgType::mtError, 0, mbOK);
    return deleted;
}

int LibraryEditor::DeleteTitlesFromDatabase(const std::vector<int32_t>& keys) {
    if (keys.empty())
        return 0;
    std::string question;
    TitleRecord record;
    if (keys.size() == 1)
        question = edit_text::DeleteOneTitle(
            library_.Database().ReadRecordByKey(keys[0], record) ? record.title : std::string());
    else
        question = edit_text::DeleteSeveralTitles(static_cast<int>(keys.size()));
    if (host_.ShowMessage(question, TMsgDlgType::mtConfirmation, 0, mbOK | mbCancel) !=
        TModalResult::mrOk)
        return 0;
    return DeleteTitles(keys);
}

int LibraryEditor::DeleteSelectedTitles(const std::vector<int32_t>& keys) {
    if (keys.empty() ||
        host_.ShowMessage(edit_text::DeleteSeveralTitles(static_cast<int>(keys.size())),
                          TMsgDlgType::mtWarning, 0, mbOK | mbAbort) != TModalResult::mrOk)
        return 0;
    return DeleteTitles(keys);
}

bool LibraryEditor::DeleteTitlesFromAlbum(int32_t albumKey, const std::vector<int>& rows) {
    const TAlbList::Album* album = library_.Albums().AlbumOf(albumKey);
    if (!album)
        return false;
    int count = 0;
    std::vector<int> valid = rows;
    std::sort(valid.begin(), valid.end());
    valid.erase(std::unique(valid.begin(), valid.end()), valid.end());
    for (int r : valid)
        count += r >= 0 && static_cast<std::size_t>(r) < album->entries.size();
    if (count == 0)
        return false;
    std::string name = edit_text::AlbumNameForMessages(album->record.name);
    std::string question = count == 1 ? edit_text::RemoveOneFromAlbum(name)
                                      : edit_text::RemoveSeveralFromAlbum(count, name);
    if (host_.ShowMessage(question, TMsgDlgType::mtInformation, 0, mbOK | mbCancel) ==
        TModalResult::mrCancel)
        return false;
    library_.Albums().RemoveRows(albumKey, rows);
    return true;
}

TitleEditPrefill LibraryEditor::PrefillFor(const std::vector<int32_t>& keys) const {
    TitleEditPrefill prefill;
    prefill.count = static_cast<int>(keys.size());
    bool first = true;
    for (int32_t key : keys) {
        TitleRecord r;
        if (!library_.Database().ReadRecordByKey(key, r))
            continue;
        if (first) {
            if (keys.size() == 1)
                prefill.title = r.title;
            prefill.firstName = r.firstName;
            prefill.lastName = r.lastName;
            prefill.categoryName = r.categoryName;
            first = false;
            continue;
        }
        // An artist is shared whole or not at all: two Bachs with other first names share none,
        // so that no edit gives them a new performer "Bach" unasked.
        if (r.firstName != prefill.firstName || r.lastName != prefill.lastName) {
            prefill.firstName.clear();
            prefill.lastName.clear();
        }
        if (r.categoryName != prefill.categoryName)
            prefill.categoryName.clear();
    }
    return prefill;
}

int LibraryEditor::ApplyTitleEdit(const std::vector<int32_t>& keys, const TitleEditResult& result) {
    BusyScope busy(host_);
    TAlbList::DeferSaves oneSave(library_.Albums());
    bool one = keys.size() == 1;
    int updated = 0;
    std::string failures;
    for (int32_t key : keys) {
        TitleRecord own;
        if (!library_.Database().ReadRecordByKey(key, own))
            continue;
        // The marker stands for the title's own key and is never stored.
        int32_t ck = result.ck == kKeepOwnKey ? own.ck : result.ck;
        int32_t pk = result.pk == kKeepOwnKey ? own.pk : result.pk;
        try {
            // An emptied title field keeps the title: a title is never blank.
            const bool newTitle = one && !Trim(result.title).empty();
            if (library_.Data().UpdateTitleInfo(key, false, pk, ck,
                                                newTitle ? result.title : own.title))
                ++updated;
        } catch (const std::exception& e) {
            // One title that cannot be written does not keep the others from their change.
            failures += "\\n" + TitleFailure(own, e);
        }
    }
    if (!failures.empty())
        host_.ShowMessage("These titles could not be changed:" + failures, TMsgDlgType::mtError, 0,
                          mbOK);
    return updated;
}

} // namespace tunquil
