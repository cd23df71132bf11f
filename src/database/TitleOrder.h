#pragma once
// The orders in which views and lists are sorted. "Ignoring case" folds only a-z onto A-Z and
// compares every other byte by value, so accented letters sort by their bytes.

#include "database/TitleRecord.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tunquil {

enum class TitleSortMode { ByCategory, ByArtist, ByTitle, ByDuration, ByOrigin, ByDate };

// The fields a title sort looks at; views build one per row from their own row records.
struct TitleSortFields {
    std::string_view category;
    std::string_view lastName;
    std::string_view firstName;
    std::string_view title;
    std::string_view origin;
    int32_t duration = 0;
    double dateObtained = 0;
};

TitleSortFields SortFieldsOf(const TitleRecord& record);

// <0, 0, >0. By title: title. By artist: last name, first name, title. By category: category,
// last name, first name, title. By duration and origin ascending; by date newest first.
int CompareTitles(TitleSortMode mode, const TitleSortFields& a, const TitleSortFields& b);

// "category", "artist", "title", "duration", "origin", "date".
std::optional<TitleSortMode> ParseTitleSortMode(std::string_view name);

struct CategoryRecord;
struct PerformerRecord;
struct AlbumRecord;
// The list orders: categories and albums by name, performers by last name, ignoring case.
int CompareCategories(const CategoryRecord& a, const CategoryRecord& b);
int ComparePerformers(const PerformerRecord& a, const PerformerRecord& b);
int CompareAlbums(const AlbumRecord& a, const AlbumRecord& b);

} // namespace tunquil
