#include "database/TitleSearch.h"

namespace tunquil {

namespace {

// Between two fields: no folded text holds it, so no word or phrase spans two fields.
constexpr char kFieldEnd = '\x1F';

void AppendSearchText(const TitleRow& row, std::string& out) {
    std::string_view origin = row.origin;
    if (auto slash = origin.find_last_of('/'); slash != std::string_view::npos)
        origin.remove_prefix(slash + 1);
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

std::size_t TitleSearch::MemoryBytes() const {
    return text_.capacity() + start_.capacity() * sizeof(uint32_t);
}

} // namespace tunquil
