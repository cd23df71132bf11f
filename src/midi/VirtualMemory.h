#pragma once
// A byte array of fixed capacity of which a prefix of `Size` bytes is in use. The capacity is the
// limit that keeps a hostile file from claiming unbounded memory; the storage behind the prefix
// is allocated only as it is used, growing geometrically so that repeated small growth stays
// cheap, and exactly to `Size` when the first growth sets the final size.

#include <cstdint>
#include <memory>

namespace tunquil {

class TVirtualMemory {
public:
    TVirtualMemory(int32_t capacity, int32_t initialSize);
    TVirtualMemory(const TVirtualMemory&) = delete;
    TVirtualMemory& operator=(const TVirtualMemory&) = delete;

    // Start of the bytes in use; it may move when the size grows.
    uint8_t* Base() const { return storage_.get(); }
    int32_t Size() const { return size_; }
    int32_t Capacity() const { return capacity_; }
    // Bytes actually held for the prefix (at least Size).
    int32_t Committed() const { return committed_; }

    // Makes exactly the first n bytes usable. Throws EVirtualMemory "Size exceeds capacity" and
    // changes nothing when n is larger than the capacity. Bytes that come into use are
    // undefined until written: the track fills every record it sizes for.
    void SetSize(int32_t n);
    // True when the k bytes starting at p lie within the first Size bytes.
    bool HasRoom(const void* p, int32_t k) const;

private:
    std::unique_ptr<uint8_t[]> storage_;
    int32_t size_ = 0;
    int32_t committed_ = 0;
    int32_t capacity_;
};

} // namespace tunquil
