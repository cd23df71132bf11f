#include "database/TitleOrder.h"

#include "base/Text.h"
#include "database/ListRecords.h"

namespace tunquil {

TitleSortFields SortFieldsOf(const TitleRecord& r) {
    return {r.categoryName, r.lastName, r.firstName, r.title, r.origin, r.duration, r.dateObtained};
}

int CompareTitles(TitleSortMode mode, const TitleSortFields& a, const TitleSortFields& b) {
    int c = 0;
    switch (mode) {
    case TitleSortMode::ByCategory:
        if ((c = CompareTextIgnoringCase(a.category, b.category)) != 0)
            return c;
        [[fallthrough]];
    case TitleSortMode::ByArtist:
        if ((c = CompareTextIgnoringCase(a.lastName, b.lastName)) != 0)
            return c;
        if ((c = CompareTextIgnoringCase(a.firstName, b.firstName)) != 0)
            return c;
        [[fallthrough]];
    case TitleSortMode::ByTitle:
        return CompareTextIgnoringCase(a.title, b.title);
    case TitleSortMode::ByDuration:
        return a.duration < b.duration ? -1 : (a.duration > b.duration ? 1 : 0);
    case TitleSortMode::ByOrigin:
        return CompareTextIgnoringCase(a.origin, b.origin);
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
    return CompareTextIgnoringCase(a.name, b.name);
}

int ComparePerformers(const PerformerRecord& a, const PerformerRecord& b) {
    return CompareTextIgnoringCase(a.lastName, b.lastName);
}

int CompareAlbums(const AlbumRecord& a, const AlbumRecord& b) {
    return CompareTextIgnoringCase(a.name, b.name);
}

} // namespace tunquil
