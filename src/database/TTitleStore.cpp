#include "database/TTitleStore.h"

#include <algorithm>

namespace tunquil {

TitleRow RowOf(const TitleRecord& r) {
    TitleRow row;
    row.masterKey = r.masterKey;
    row.ck = r.ck;
    row.pk = r.pk;
    row.albumKey = r.albumKey;
    row.duration = r.duration;
    row.dateObtained = r.dateObtained;
    row.firstName = r.firstName;
    row.lastName = r.lastName;
    row.categoryName = r.categoryName;
    row.artist = r.artist;
    row.title = r.title;
    row.durationText = r.durationText;
    row.origin = r.origin;
    return row;
}

void TTitleStore::Reserve(std::size_t titles, std::size_t textBytes) {
    entries_.reserve(titles);
    byKey_.reserve(titles);
    text_.reserve(textBytes);
}

void TTitleStore::Clear() {
    entries_.clear();
    free_.clear();
    byKey_.clear();
    text_.clear();
    deadText_ = 0;
    ++generation_;
}

void TTitleStore::StoreTexts(Entry& e, const TitleRecord& r) {
    const std::string* texts[kFields] = {&r.firstName, &r.lastName,     &r.categoryName, &r.artist,
                                         &r.title,     &r.durationText, &r.origin};
    e.text = static_cast<uint32_t>(text_.size());
    for (int f = 0; f < kFields; ++f) {
        // Decoded fields are a few hundred bytes at most; the cap only guards the width.
        std::size_t n = std::min<std::size_t>(texts[f]->size(), 0xFFFF);
        e.length[f] = static_cast<uint16_t>(n);
        text_.append(texts[f]->data(), n);
    }
}

TTitleStore::Handle TTitleStore::Put(const TitleRecord& r) {
    ++generation_;
    Handle handle = Find(r.masterKey);
    if (handle == kNone) {
        if (!free_.empty()) {
            handle = free_.back();
            free_.pop_back();
        } else {
            handle = static_cast<Handle>(entries_.size());
            entries_.emplace_back();
        }
        byKey_.emplace(r.masterKey, handle);
    } else {
        for (uint16_t& n : entries_[handle].length) {
            deadText_ += n;
            n = 0;
        }
    }
    // The offsets are 32-bit: rewrite the buffer without its dead texts well before that.
    if (deadText_ > text_.size() / 2 && deadText_ > (1u << 20))
        CompactTexts();
    Entry& e = entries_[handle];
    e.masterKey = r.masterKey;
    e.ck = r.ck;
    e.pk = r.pk;
    e.duration = r.duration;
    e.dateObtained = r.dateObtained;
    StoreTexts(e, r);
    return handle;
}

void TTitleStore::Remove(Handle handle) {
    auto found = byKey_.find(entries_[handle].masterKey);
    if (found == byKey_.end() || found->second != handle)
        return;
    byKey_.erase(found);
    ++generation_;
    for (uint16_t& n : entries_[handle].length) {
        deadText_ += n;
        n = 0;
    }
    free_.push_back(handle);
}

TTitleStore::Handle TTitleStore::Find(int32_t masterKey) const {
    auto found = byKey_.find(masterKey);
    return found == byKey_.end() ? kNone : found->second;
}

TitleRow TTitleStore::Row(Handle handle) const {
    const Entry& e = entries_[handle];
    TitleRow row;
    row.masterKey = e.masterKey;
    row.ck = e.ck;
    row.pk = e.pk;
    row.duration = e.duration;
    row.dateObtained = e.dateObtained;
    const char* p = text_.data() + e.text;
    std::string_view* texts[kFields] = {&row.firstName, &row.lastName, &row.categoryName,
                                        &row.artist,    &row.title,    &row.durationText,
                                        &row.origin};
    for (int f = 0; f < kFields; ++f) {
        *texts[f] = std::string_view(p, e.length[f]);
        p += e.length[f];
    }
    return row;
}

void TTitleStore::CompactTexts() {
    std::string kept;
    kept.reserve(text_.size() - deadText_);
    for (const auto& [key, handle] : byKey_) {
        Entry& e = entries_[handle];
        std::size_t total = 0;
        for (uint16_t n : e.length)
            total += n;
        uint32_t at = static_cast<uint32_t>(kept.size());
        kept.append(text_, e.text, total);
        e.text = at;
    }
    text_ = std::move(kept);
    deadText_ = 0;
}

std::size_t TTitleStore::MemoryBytes() const {
    return entries_.capacity() * sizeof(Entry) + free_.capacity() * sizeof(Handle) +
           byKey_.size() * (sizeof(std::pair<int32_t, Handle>) + 2 * sizeof(void*)) +
           byKey_.bucket_count() * sizeof(void*) + text_.capacity();
}

} // namespace tunquil
