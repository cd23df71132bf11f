#include "database/TCatList.h"

#include "base/Text.h"
#include "database/ListFile.h"
#include "database/TAlbList.h"
#include "database/TMyDB.h"
#include "database/TitleOrder.h"

#include <algorithm>

namespace tunquil {

TCatList::TCatList(fs::path programDirectory)
    : directory_(std::move(programDirectory)), path_(directory_ / "Categories.des"),
      file_(kCategoryRecordSize, RecordFile::LeadingKey) {}

void TCatList::Load(const std::string& name) {
    std::error_code ec;
    fs::path path = directory_ / (name + ".des");
    if (!fs::exists(path, ec) && !ec)
        WriteFileAtomically(path, "");
    LoadForReading(name);
}

void TCatList::LoadForReading(const std::string& name) {
    path_ = directory_ / (name + ".des");
    items_.clear();
    std::string bytes = file_.Read(path_);
    for (std::size_t at = 0; at < bytes.size(); at += kCategoryRecordSize)
        items_.push_back(DecodeCategoryRecord(bytes.data() + at));
    readAtLoad_ = static_cast<int>(items_.size());
    SortByName();
    Announce();
}

void TCatList::Save() {
    // Written sorted by name, as a load orders them: tabs come up sorted at the next start and
    // a save that changes nothing writes nothing. The list keeps its order for this run.
    std::vector<const CategoryRecord*> sorted;
    for (const auto& c : items_)
        sorted.push_back(&c);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto* a, const auto* b) { return CompareCategories(*a, *b) < 0; });
    file_.Write(path_,
                file_.Compose(
                    sorted.size(), [&](std::size_t i) { return sorted[i]->ck; },
                    [&](std::size_t i, char* out) { PatchCategoryRecord(*sorted[i], out); }));
}

void TCatList::Announce() const {
    if (db_)
        db_->Announce([](IDatabaseObserver& o) { o.CategoriesChanged(); });
}

void TCatList::SortByName() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return CompareCategories(a, b) < 0; });
}

int32_t TCatList::HighestCK() const {
    int32_t highest = 0;
    for (const auto& c : items_)
        highest = std::max(highest, c.ck);
    return highest;
}

int TCatList::IndexOf(int32_t ck) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].ck == ck)
            return static_cast<int>(i);
    return -1;
}

std::string TCatList::NameOf(int32_t ck) const {
    int i = IndexOf(ck);
    return i < 0 ? std::string() : items_[static_cast<std::size_t>(i)].name;
}

int32_t TCatList::FindByName(const std::string& name) const {
    // Names are stored cut to their field: a longer name given again finds its stored form
    // instead of adding the category once more.
    std::string stored = CutUtf8(name, kListNameCapacity);
    for (const auto& c : items_)
        if (c.name == stored)
            return c.ck;
    return 0;
}

int32_t TCatList::AddCategory(const std::string& name) {
    if (int32_t ck = FindByName(name))
        return ck;
    CategoryRecord record;
    record.ck = HighestCK() + 1;
    record.name = CutUtf8(name, kListNameCapacity);
    items_.push_back(record);
    try {
        Save();
    } catch (...) {
        items_.pop_back();
        throw;
    }
    Announce();
    return record.ck;
}

void TCatList::RenameCategory(int32_t ck, const std::string& newName) {
    std::string name = CutUtf8(Trim(CutUtf8(newName, kListNameCapacity)), kListNameCapacity);
    int i = IndexOf(ck);
    if (i < 0 || items_[static_cast<std::size_t>(i)].name == name)
        return;
    int32_t other = FindByName(name);
    if (other != 0 && other != ck) {
        if (db_)
            db_->MoveTitlesToCategory(ck, other, name);
        DeleteCategory(ck);
        return;
    }
    if (db_)
        db_->RenameCategoryInTitles(ck, name);
    items_[static_cast<std::size_t>(i)].name = name;
    Announce();
}

void TCatList::DeleteCategory(int32_t ck, const std::function<void(int32_t)>& perKey) {
    int i = IndexOf(ck);
    if (i < 0)
        return;
    std::vector<int32_t> keys;
    std::vector<std::string> failures;
    if (db_ && db_->IsOpen())
        db_->DeleteTitlesOfCategory(ck, keys, &failures);
    if (!keys.empty()) {
        if (perKey)
            for (int32_t key : keys)
                perKey(key);
        if (albums_)
            albums_->RemoveTitlesFromAllAlbums(keys);
    }
    // Titles that could not be deleted keep their category.
    if (!failures.empty())
        throw DatabaseError(DescribeDeleteFailures(failures));
    items_.erase(items_.begin() + i);
    Announce();
}

void TCatList::Purge() {
    // Without an open database every category would look unused: purge nothing then.
    if (!db_ || !db_->IsOpen())
        return;
    std::unordered_set<int32_t> used = db_->UsedCategories();
    std::erase_if(items_, [&](const CategoryRecord& c) {
        return !used.contains(c.ck) || Trim(c.name).empty();
    });
    Save();
    Announce();
}

void TCatList::FillNameLists(std::vector<std::string>& names, std::vector<std::string>& keys) {
    names.clear();
    keys.clear();
    SortByName();
    for (const auto& c : items_) {
        names.push_back(c.name);
        keys.push_back(std::to_string(c.ck));
    }
}

} // namespace tunquil
