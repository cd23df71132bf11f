#include "database/TitleSearch.h"

#include <algorithm>

namespace tunquil {

namespace {

// Between two fields: no folded text holds it, so no word or phrase spans two fields.
constexpr char kFieldEnd = '\x1F';

void AppendSearchText(const TitleRow& row, std::string& out) {
    std::string_view origin = row.origin;
    if (auto slash = origin.find_last_of('/'); slash != std::string_view::npos)
        origin.remove_prefix(slash + 1);
    // Without its extension: every file of the library ends in ".mid", which no one looks for.
    if (auto dot = origin.find_last_of('.'); dot != std::string_view::npos && dot > 0)
        origin.remove_suffix(origin.size() - dot);
    for (std::string_view field :
         {row.title, row.artist, row.lastName, row.firstName, row.categoryName, origin}) {
        AppendFoldedForSearch(field, out);
        out.push_back(kFieldEnd);
    }
}

} // namespace

std::string TitleSearchText(const TitleRow& row) {
    std::string text;
    AppendSearchText(row, text);
    return text;
}

bool TitleMatches(const TitleRow& row, const SearchQuery& query) {
    return query.Empty() || query.Matches(TitleSearchText(row));
}

bool TitleSearch::Matches(TTitleStore::Handle title, const SearchQuery& query) const {
    if (query.Empty())
        return true;
    if (generation_ != store_.Generation() || title + 1 >= start_.size())
        return title < store_.HandleCount() && TitleMatches(store_.Row(title), query);
    return query.Matches(
        std::string_view(text_).substr(start_[title], start_[title + 1] - start_[title]));
}

void TitleSearch::Prepare() {
    if (generation_ == store_.Generation())
        return;
    text_.clear();
    start_.clear();
    const std::size_t handles = store_.HandleCount();
    start_.reserve(handles + 1);
    for (TTitleStore::Handle h = 0; h < handles; ++h) {
        start_.push_back(uint32_t(text_.size()));
        AppendSearchText(store_.Row(h), text_);
    }
    start_.push_back(uint32_t(text_.size()));
    text_.shrink_to_fit();
    generation_ = store_.Generation();
}

const std::vector<uint8_t>& TitleSearch::MatchAll(const SearchQuery& query) {
    Prepare();
    if (hitsGeneration_ == generation_ && hitsNeedles_ == query.Needles())
        return hits_;
    hitsGeneration_ = generation_;
    hitsNeedles_ = query.Needles();
    const std::size_t titles = start_.size() - 1;
    hits_.assign(titles, 1);
    const std::string_view text(text_);
    for (const std::string& needle : query.Needles()) {
        wordHits_.assign(titles, 0);
        std::size_t at = 0;
        while ((at = text.find(needle, at)) != std::string_view::npos) {
            // The title holding the find, then on from the next title's text.
            const auto next = std::upper_bound(start_.begin(), start_.end(), uint32_t(at));
            const std::size_t title = std::size_t(next - start_.begin()) - 1;
            wordHits_[title] = 1;
            at = *next;
        }
        for (std::size_t h = 0; h < titles; ++h)
            hits_[h] &= wordHits_[h];
    }
    return hits_;
}

std::size_t TitleSearch::MemoryBytes() const {
    return text_.capacity() + start_.capacity() * sizeof(uint32_t) + hits_.capacity() +
           wordHits_.capacity();
}

} // namespace tunquil
