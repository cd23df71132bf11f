#pragma once
// What the program dialog lists: one row per program entry with its order (or, for the entry
// that plays, the player's state), title, artist and duration, and the summary above the grid.

#include "database/TitleRecord.h"

#include <functional>
#include <string>
#include <vector>

namespace tunquil {

struct ProgramListingRow {
    std::string order, title, artist, duration;
};

struct ProgramListing {
    std::string summary;
    std::vector<ProgramListingRow> rows; // one row "No titles in program" for an empty program
    int currentRow = -1;                 // the row of the current index, or -1
    bool empty = true;
};

// Reads a title record by master key; false for a key that names no title.
using TitleLookup = std::function<bool(int key, TitleRecord& record)>;

ProgramListing BuildProgramListing(const std::vector<std::string>& entries, int currentIndex,
                                   int playerMode, const TitleLookup& lookup);

} // namespace tunquil
