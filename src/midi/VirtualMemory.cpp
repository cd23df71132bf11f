#include "midi/VirtualMemory.h"

#include "midi/MidiErrors.h"

#include <algorithm>
#include <cstring>

namespace tunquil {

TVirtualMemory::TVirtualMemory(int32_t capacity, int32_t initialSize)
    : capacity_(std::max<int32_t>(capacity, 0)) {
    SetSize(initialSize);
}

void TVirtualMemory::SetSize(int32_t n) {
    if (n < 0)
        n = 0;
    if (n > capacity_)
        throw EVirtualMemory("Size exceeds capacity");
    if (n > committed_) {
        // The first growth is usually the parser's exact event count, so it is taken as is;
        // later growth doubles to keep one-at-a-time inserts linear overall.
        int32_t target = n;
        if (committed_ > 0)
            target = static_cast<int32_t>(
                std::min<int64_t>(capacity_, std::max<int64_t>(n, int64_t{committed_} * 2)));
        auto grown = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(target));
        if (size_ > 0)
            std::memcpy(grown.get(), storage_.get(), static_cast<std::size_t>(size_));
        storage_ = std::move(grown);
        committed_ = target;
    } else if (n == 0) {
        storage_.reset();
        committed_ = 0;
    }
    size_ = n;
}

bool TVirtualMemory::HasRoom(const void* p, int32_t k) const {
    if (k < 0 || !storage_)
        return false;
    auto at = static_cast<const uint8_t*>(p);
    auto base = storage_.get();
    if (at < base || at > base + size_)
        return false;
    return k <= (base + size_) - at;
}

} // namespace tunquil
