#pragma once
// The fixed-size record files of the lists, as they were last read or written. Every save goes
// through here, so that:
// - a file that could not be read is never written over (the list in memory is not all of it);
// - a save that would write what the file already holds writes nothing;
// - a record keeps the bytes it was read with wherever its values did not change, so a name
//   written as Windows-1252 is not re-encoded (UTF-8 is longer and would be cut).

#include "base/Files.h"
#include "database/RecordBytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

namespace tunquil {

class RecordFile {
public:
    // The key that tells the records of the file apart (two records with one key share the
    // bytes of the first as their starting point, which changes nothing but that).
    using KeyOf = int64_t (*)(const char* record);

    // The key of the list records: the 32-bit number they start with.
    static int64_t LeadingKey(const char* record) { return record_bytes::GetInt32(record); }

    RecordFile(std::size_t recordSize, KeyOf keyOf) : recordSize_(recordSize), keyOf_(keyOf) {}

    // The whole records of `path` ("" when it does not exist; a partial record at the end is
    // ignored). Throws FileError; the file is then never written.
    std::string Read(const fs::path& path);
    bool WasRead() const { return state_ == State::Known; }
    bool ReadFailed() const { return state_ == State::Unreadable; }

    // The file's bytes for `count` records: record i starts as the bytes last read or written
    // under key `keyAt(i)` (zeros for a new one) and `patchAt(i, bytes)` writes its values.
    template <class KeyAt, class PatchAt>
    std::string Compose(std::size_t count, KeyAt keyAt, PatchAt patchAt) const {
        std::string bytes(count * recordSize_, '\0');
        for (std::size_t i = 0; i < count; ++i) {
            char* out = bytes.data() + i * recordSize_;
            auto known = at_.find(keyAt(i));
            if (known != at_.end())
                std::memcpy(out, bytes_.data() + known->second, recordSize_);
            patchAt(i, out);
        }
        return bytes;
    }
    // The bytes last read or written for the record with this key; null when there is none.
    const char* Find(int64_t key) const;

    // Replaces `path` with `bytes` (new file, flushed, renamed) unless it is known to hold them
    // already; true when it wrote. Throws FileError when the write fails or the file could not
    // be read (a list that was never read is a new one).
    bool Write(const fs::path& path, std::string bytes);

private:
    void Remember(std::string bytes);

    enum class State { NotRead, Known, Unreadable };
    std::size_t recordSize_;
    KeyOf keyOf_;
    State state_ = State::NotRead;
    std::string bytes_;
    std::unordered_map<int64_t, std::size_t> at_; // key -> offset in bytes_
};

} // namespace tunquil
