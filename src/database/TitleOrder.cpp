#include "database/TitleOrder.h"

#include "base/Text.h"
#include "database/ListRecords.h"

namespace tunquil {

namespace {
// The same order as CompareTextIgnoringCase, faster where texts share a prefix (titles of
// one collection often do): equal bytes are passed without folding.
inline int CompareFolded(std::string_view a, std::string_view b) {
    auto x = reinterpret_cast<const unsigned char*>(a.data());
    auto y = reinterpret_cast<const unsigned char*>(b.data());
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned c = x[i], d = y[i];
        if (c == d)
            continue;
        c -= (c - 'a' < 26u) ? 32 : 0;
        d -= (d - 'a' < 26u) ? 32 : 0;
        if (c != d)
            return c < d ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

TitleSortFields SortFieldsOf(const TitleRecord& r) {
    return {r.categoryName, r.lastName, r.firstName, r.title, r.origin, r.duration, r.dateObtained};
}

int CompareTitles(TitleSortMode mode, const TitleSortFields& a, const TitleSortFields& b) {
    int c = 0;
    switch (mode) {
    case TitleSortMode::ByCategory:
        if ((c = CompareFolded(a.category, b.category)) != 0)
            return c;
        [[fallthrough]];
    case TitleSortMode::ByArtist:
        if ((c = CompareFolded(a.lastName, b.lastName)) != 0)
            return c;
        if ((c = CompareFolded(a.firstName, b.firstName)) != 0)
            return c;
        [[fallthrough]];
    case TitleSortMode::ByTitle:
        return CompareFolded(a.title, b.title);
    case TitleSortMode::ByDuration:
        return a.duration < b.duration ? -1 : (a.duration > b.duration ? 1 : 0);
    case TitleSortMode::ByOrigin:
        return CompareFolded(a.origin, b.origin);
    case TitleSortMode::ByDate:
        // Newest first.
        return a.dateObtained > b.dateObtained ? -1 : (a.dateObtained < b.dateObtained ? 1 : 0);
    }
    return 0;
}

std::optional<TitleSortMode> ParseTitleSortMode(std::string_view name) {
    if (name == "category")
        return TitleSortMode::ByCategory;
    if (name == "artist")
        return TitleSortMode::ByArtist;
    if (name == "title")
        return TitleSortMode::ByTitle;
    if (name == "duration")
        return TitleSortMode::ByDuration;
    if (name == "origin")
        return TitleSortMode::ByOrigin;
    if (name == "date")
        return TitleSortMode::ByDate;
    return std::nullopt;
}

int CompareCategories(const CategoryRecord& a, const CategoryRecord& b) {
    return CompareFolded(a.name, b.name);
}

int ComparePerformers(const PerformerRecord& a, const PerformerRecord& b) {
    return CompareFolded(a.lastName, b.lastName);
}

int CompareAlbums(const AlbumRecord& a, const AlbumRecord& b) {
    return CompareFolded(a.name, b.name);
}

} // namespace tunquil
