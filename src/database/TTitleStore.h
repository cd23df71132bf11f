#pragma once
// Compact copies of the live titles that the all-titles and category views show. Each title is
// held once, whatever number of views show it; its texts sit end to end in one buffer, so
// 100,000 titles cost a few megabytes and no allocation per text.

#include "database/TitleRecord.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tunquil {

// A row's record as the views read it (the row record of a grid). The texts stay valid until
// the next change of the store or album they come from.
struct TitleRow {
    int32_t masterKey = 0;
    int32_t ck = 0;
    int32_t pk = 0;
    int32_t albumKey = -1; // the owning album in album grids, -1 elsewhere
    int32_t duration = 0;
    double dateObtained = 0;
    std::string_view firstName;
    std::string_view lastName;
    std::string_view categoryName;
    std::string_view artist;
    std::string_view title;
    std::string_view durationText;
    std::string_view origin;
};

TitleRow RowOf(const TitleRecord& record);

class TTitleStore {
public:
    using Handle = uint32_t;
    static constexpr Handle kNone = std::numeric_limits<Handle>::max();

    void Reserve(std::size_t titles, std::size_t textBytes);
    void Clear();

    // Takes a copy of the title; a title already held under its master key is replaced.
    Handle Put(const TitleRecord& record);
    void Remove(Handle handle);
    Handle Find(int32_t masterKey) const;

    TitleRow Row(Handle handle) const;
    int32_t MasterKey(Handle handle) const { return entries_[handle].masterKey; }
    int32_t Ck(Handle handle) const { return entries_[handle].ck; }
    int32_t Duration(Handle handle) const { return entries_[handle].duration; }
    std::size_t Count() const { return byKey_.size(); }
    // Handles run from 0 below this; a removed title's handle reads as a title with no texts.
    std::size_t HandleCount() const { return entries_.size(); }
    // Changes with every change of the store, so that what is made from it knows it is stale.
    uint64_t Generation() const { return generation_; }
    std::size_t MemoryBytes() const;

private:
    enum Field { kFirst, kLast, kCategory, kArtist, kTitle, kDurationText, kOrigin, kFields };
    struct Entry {
        int32_t masterKey;
        int32_t ck;
        int32_t pk;
        int32_t duration;
        double dateObtained;
        uint32_t text; // offset of the first text in text_
        uint16_t length[kFields];
    };
    void StoreTexts(Entry& entry, const TitleRecord& record);
    void CompactTexts();

    std::vector<Entry> entries_;
    std::vector<Handle> free_;
    std::unordered_map<int32_t, Handle> byKey_;
    std::string text_;
    std::size_t deadText_ = 0; // bytes of texts no entry uses any more
    uint64_t generation_ = 0;
};

} // namespace tunquil
