#include "app/ProgramListing.h"

#include "app/PlayProgram.h"
#include "app/PlayServices.h"
#include "base/Text.h"

namespace tunquil {

static std::string StateText(int mode) {
    switch (mode) {
    case kModePaused:
        return "Paused";
    case kModePlaying:
        return "Playing";
    case kModeStopped:
        return "Stopped";
    default:
        return "Current";
    }
}

ProgramListing BuildProgramListing(const std::vector<std::string>& entries, int currentIndex,
                                   int playerMode, const TitleLookup& lookup) {
    ProgramListing listing;
    if (entries.empty()) {
        listing.summary = "Empty";
        listing.rows.push_back({"", "No titles in program", "", ""});
        return listing;
    }
    listing.empty = false;
    int64_t total = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ProgramListingRow row;
        const bool current = int(i) == currentIndex;
        row.order = current ? StateText(playerMode) : std::to_string(i + 1);
        TitleRecord record;
        if (lookup && lookup(ProgramEntryKey(entries[i]), record)) {
            row.title = Trim(record.title);
            row.artist = JoinFullName(record.firstName, record.lastName);
            row.duration = DurationText(record.duration);
            if (record.duration > 0)
                total += record.duration;
        }
        if (current)
            listing.currentRow = int(i);
        listing.rows.push_back(std::move(row));
    }
    listing.summary = std::to_string(entries.size()) + " title(s)";
    if (total > 0)
        listing.summary += "  ---  " + DurationText(total);
    return listing;
}

} // namespace tunquil
