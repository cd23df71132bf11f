#pragma once
// What a search for titles looks in: the title text, the artist (as shown, and last and first
// name), the category and the origin's file name, each folded for searching and kept apart so
// that no word matches across two of them. The folded texts of a store's titles are kept end
// to end in one buffer, made again only after the store changed, so that every keystroke of a
// search over 100,000 titles goes through a few megabytes in memory and nothing else.

#include "base/SearchText.h"
#include "database/TTitleStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunquil {

// The folded text that a query is matched against, for one title.
std::string TitleSearchText(const TitleRow& row);
bool TitleMatches(const TitleRow& row, const SearchQuery& query);

class TitleSearch {
public:
    explicit TitleSearch(const TTitleStore& store) : store_(store) {}

    // Makes the folded texts again when the store changed since; the searches of one keystroke
    // over many titles come after it. A single title looked at while the texts are stale is
    // folded on its own instead.
    void Prepare();
    bool Matches(TTitleStore::Handle title, const SearchQuery& query) const;
    // Every title the query matches, as a flag by handle: one pass through the texts a word,
    // far quicker than a look at each title when most titles do not hold the word. The flags
    // of the last query are kept while the store is unchanged: every grid filters by them.
    const std::vector<uint8_t>& MatchAll(const SearchQuery& query);
    std::size_t MemoryBytes() const;

private:
    const TTitleStore& store_;
    uint64_t generation_ = UINT64_MAX;
    std::string text_;
    std::vector<uint32_t> start_; // the text of handle h is text_[start_[h], start_[h + 1])
    std::vector<uint8_t> hits_, wordHits_;
    uint64_t hitsGeneration_ = UINT64_MAX;
    std::vector<std::string> hitsNeedles_;
};

} // namespace tunquil
