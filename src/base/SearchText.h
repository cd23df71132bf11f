#pragma once
// Find as you type: a query of words that a text matches when every word occurs in it, in any
// order, ignoring case and accents ("cafe" finds "Café"). A word in double quotes is a phrase
// and matches as a whole, spaces included. An empty query matches everything.

#include <string>
#include <string_view>
#include <vector>

namespace tunquil {

// The text as searches compare it: UTF-8 with letters lower-cased and stripped of their accents
// (Latin, Greek and Cyrillic letters; "ß" becomes "ss", "Æ" "ae"), anything else kept as it is.
// Bytes that are not UTF-8 are taken as Windows-1252, as stored texts of old files are.
std::string FoldForSearch(std::string_view text);
// Appends the folded text to `out`, sparing a string per text when many go end to end.
void AppendFoldedForSearch(std::string_view text, std::string& out);

class SearchQuery {
public:
    SearchQuery() = default;
    explicit SearchQuery(std::string_view query);

    bool Empty() const { return needles_.empty(); }
    // The folded words and phrases, each of which a match must hold.
    const std::vector<std::string>& Needles() const { return needles_; }
    // Whether `folded` (a text from FoldForSearch) holds every needle.
    bool Matches(std::string_view folded) const;
    // Whether every text that `next` matches is matched by this query too, so that a search for
    // `next` needs to look only at what this one found (as typing on narrows a search).
    bool NarrowedBy(const SearchQuery& next) const;

private:
    std::vector<std::string> needles_;
};

} // namespace tunquil
