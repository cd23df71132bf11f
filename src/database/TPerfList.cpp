#include "database/TPerfList.h"

#include "base/Text.h"
#include "database/ListFile.h"
#include "database/TMyDB.h"
#include "database/TitleOrder.h"
#include "database/TitleRecord.h"

#include <algorithm>

namespace tunquil {

TPerfList::TPerfList(fs::path programDirectory)
    : directory_(std::move(programDirectory)), path_(directory_ / "Artists.des"),
      file_(kPerformerRecordSize, RecordFile::LeadingKey) {}

void TPerfList::Load(const std::string& name) {
    path_ = directory_ / (name + ".des");
    items_.clear();
    std::string bytes = file_.Read(path_);
    for (std::size_t at = 0; at < bytes.size(); at += kPerformerRecordSize)
        items_.push_back(DecodePerformerRecord(bytes.data() + at));
    SortByLastName();
}

void TPerfList::Save() {
    // In the order a load puts them in, so that a save that changes nothing writes nothing.
    SortByLastName();
    file_.Write(path_,
                file_.Compose(
                    items_.size(), [&](std::size_t i) { return items_[i].pk; },
                    [&](std::size_t i, char* out) { PatchPerformerRecord(items_[i], out); }));
}

void TPerfList::SortByLastName() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return ComparePerformers(a, b) < 0; });
}

int32_t TPerfList::HighestPK() const {
    int32_t highest = 0;
    for (const auto& p : items_)
        highest = std::max(highest, p.pk);
    return highest;
}

bool TPerfList::NamesOf(int32_t pk, std::string& first, std::string& last) const {
    for (const auto& p : items_)
        if (p.pk == pk) {
            first = p.firstName;
            last = p.lastName;
            return true;
        }
    first.clear();
    last.clear();
    return false;
}

namespace {

std::size_t Characters(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Whether a stored name field holds `given`: whole, or as much of it as the field takes. A field
// written as Windows-1252 takes 25 characters, which read as more than 25 bytes of UTF-8, so the
// given name is compared whole before any cut to 25 bytes.
bool HoldsName(const std::string& stored, std::string_view given) {
    if (SameTextIgnoringCase(stored, given) ||
        SameTextIgnoringCase(stored, CutUtf8(given, kPerformerNameCapacity)))
        return true;
    return stored.size() > kPerformerNameCapacity && Characters(stored) == kPerformerNameCapacity &&
           given.size() > stored.size() &&
           SameTextIgnoringCase(stored, given.substr(0, stored.size()));
}

} // namespace

int32_t TPerfList::Find(const std::string& first, const std::string& last) const {
    for (const auto& p : items_)
        if (HoldsName(p.lastName, last) && HoldsName(p.firstName, first))
            return p.pk;
    return 0;
}

int32_t TPerfList::FindOrAdd(const std::string& first, const std::string& last) {
    if (int32_t pk = Find(first, last))
        return pk;
    PerformerRecord record;
    record.pk = HighestPK() + 1;
    record.firstName = CutUtf8(first, kPerformerNameCapacity);
    record.lastName = CutUtf8(last, kPerformerNameCapacity);
    record.fullName = CutUtf8(JoinFullName(record.firstName, record.lastName), kListNameCapacity);
    items_.push_back(record);
    try {
        Save();
    } catch (...) {
        items_.pop_back();
        throw;
    }
    return record.pk;
}

void TPerfList::Purge() {
    // Without an open database every performer would look unused: purge nothing then.
    if (!db_ || !db_->IsOpen())
        return;
    std::unordered_set<int32_t> used = db_->UsedPerformers();
    std::erase_if(items_, [&](const PerformerRecord& p) {
        return !used.contains(p.pk) || Trim(p.firstName + p.lastName).empty();
    });
    Save();
}

void TPerfList::FillNameLists(std::vector<std::string>& firstNames,
                              std::vector<std::string>& lastNames, std::vector<std::string>& keys) {
    firstNames.clear();
    lastNames.clear();
    keys.clear();
    SortByLastName();
    for (const auto& p : items_) {
        firstNames.push_back(p.firstName);
        lastNames.push_back(p.lastName);
        keys.push_back(std::to_string(p.pk));
    }
}

void SplitArtistText(const std::string& text, std::string& first, std::string& last) {
    std::string t = Trim(text);
    first.clear();
    last.clear();
    if (t.empty() || t == ",")
        return;
    auto comma = t.find(',');
    if (comma == std::string::npos) {
        last = t;
        return;
    }
    last = t.substr(0, comma);
    first = t.substr(comma + 1);
}

std::string JoinArtistText(const std::string& first, const std::string& last) {
    std::string joined = Trim(Trim(last) + ", " + Trim(first));
    auto comma = joined.find(',');
    if (comma != std::string::npos && comma + 1 == joined.size())
        joined.erase(comma, 1);
    return joined;
}

} // namespace tunquil
