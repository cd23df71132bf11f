#pragma once
// What the duplicate check looks titles up by: their stored origin, and the content hash of
// their stored tune within the titles of one length. Built at the first question, not at
// start-up, and kept in step with the database by its edit count: adds (this importer's,
// another importer's) are read from the slots appended since; any other change, including the
// database closed and opened again after another process wrote, starts it afresh.
// A stored tune is hashed once, the first time a tune of its length is looked for; the caller
// compares bytes only for the titles whose hashes agree.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tunquil {

class TMyDB;
struct TitleRecord;

class StoredTuneIndex {
public:
    using Hash = std::function<uint64_t(std::string_view tune)>;

    explicit StoredTuneIndex(TMyDB& db);

    // The hash of a tune's bytes (a fast 64-bit one unless a test sets another).
    uint64_t HashOf(std::string_view tune) const { return hash_(tune); }
    void SetHashForTesting(Hash hash);

    // The live titles whose stored origin is exactly `origin`; given `tune`, only those whose
    // stored tune has that hash (the files of one long folder share their cut origin, and
    // each is compared with the few that may hold its bytes, not with all).
    std::vector<int32_t> TitlesWithOrigin(const std::string& origin,
                                          std::optional<uint64_t> tune = std::nullopt);
    // The live titles of `seconds` whose stored tune has hash `hash`.
    std::vector<int32_t> TitlesLike(int seconds, uint64_t hash);
    // Tells the hash of a title just added, so its tune need not be read back.
    void Added(int32_t masterKey, int seconds, uint64_t hash);

private:
    struct Length {
        std::vector<int32_t> unhashed; // read from the database, tune not hashed yet
        std::unordered_multimap<uint64_t, int32_t> byHash;
    };
    void CatchUp();
    void Take(const TitleRecord& record);
    // The hash of the title's stored tune, worked out once; none when it cannot be read (then
    // it is no copy of anything).
    std::optional<uint64_t> StoredHash(int32_t masterKey);

    TMyDB& db_;
    Hash hash_;
    bool built_ = false;
    uint64_t edits_ = 0; // the database's edit count the index was built at
    int slots_ = 0;      // the slots read so far
    std::unordered_map<int, Length> byLength_;
    std::unordered_multimap<uint64_t, int32_t> byOrigin_;         // hash of the origin text
    std::unordered_map<int32_t, std::optional<uint64_t>> hashOf_; // stored tunes hashed so far
};

} // namespace tunquil
