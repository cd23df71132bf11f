// Find as you type: the matching rules, as one table.

#include "base/SearchText.h"

#include <gtest/gtest.h>

using namespace tunquil;

TEST(SearchText, QueriesMatchEveryWordIgnoringCaseAndAccents) {
    struct Case {
        const char* text;
        const char* query;
        bool matches;
    };
    const Case cases[] = {
        {"Café del Mar", "cafe", true},
        {"Cafe del Mar", "CAFÉ", true},
        {"Cafe\xCC\x81 del Mar", "café", true}, // a decomposed accent
        {"Blues in the Night", "BLUES", true},
        {"ÉCOLE DES FEMMES", "école femmes", true},
        {"Straße nach Süden", "strasse suden", true},
        {"Æon Œuvre", "aeon oeuvre", true},
        {"Dvořák Symphony", "dvorak", true},
        {"Caf\xE9 au lait", "cafe", true}, // Windows-1252 bytes of an old file
        {"\x8A"
         "afran\xE7ois",
         "safrancois", true},                 // its letters above 0x7F too
        {"S\xF8\xAB\xBB", "s\xC3\xB8", true}, // F5 to FF start no UTF-8: "ø«»"
        {"\xFC\xAB\xBB", "u", true},
        {"\xFF\x80\x80\x80", "y", true},
        {"\xF5\x80\x80\x80", "\xC3\xB5", true},
        {"ALL THAT JAZZ", "jazz", true},
        {"Ολυμπία", "ΟΛΥΜΠΙΑ", true},
        {"ЁЛКА", "елка", true},
        {"Moonlight Sonata", "sonata moon", true}, // any order, parts of words
        {"Moonlight Sonata", "sonata sun", false}, // every word must occur
        {"Moonlight Sonata", "\"light sonata\"", true},
        {"Moonlight Sonata", "\"sonata moon\"", false}, // a phrase in its own order
        {"Moonlight  Sonata", "\"light sonata\"", false},
        {"Moonlight Sonata", "\"light son", true}, // a phrase still being typed
        {"Moonlight Sonata", "", true},
        {"Moonlight Sonata", "   \"\" ", true},
        {"", "a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SearchQuery(c.query).Matches(FoldForSearch(c.text)), c.matches)
            << c.text << " / " << c.query;

    EXPECT_EQ(FoldForSearch("Ab\xC3\x9F\xC3\xB7"), "abss\xC3\xB7"); // other signs stay
    // Only whole, shortest UTF-8 is UTF-8; anything else is Windows-1252 byte by byte.
    EXPECT_EQ(FoldForSearch("\xF8\xAB\xBB"), "o\xC2\xAB\xC2\xBB");
    EXPECT_EQ(FoldForSearch("\xC0\xAF"), "a\xC2\xAF");                 // overlong "/"
    EXPECT_EQ(FoldForSearch("\xED\xA0\x80"), "i\xC2\xA0\xE2\x82\xAC"); // a surrogate
    EXPECT_EQ(FoldForSearch("\xF4\x90\x80\x80"), "o\xC2\x90\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(FoldForSearch("\xF0\x9F\x8E\xB5"), "\xF0\x9F\x8E\xB5"); // a real four-byte one
    EXPECT_TRUE(SearchQuery("moo").NarrowedBy(SearchQuery("sonata moon")));
    EXPECT_TRUE(SearchQuery("").NarrowedBy(SearchQuery("x")));
    EXPECT_FALSE(SearchQuery("moon").NarrowedBy(SearchQuery("moo")));
    EXPECT_FALSE(SearchQuery("moon sun").NarrowedBy(SearchQuery("moon")));
}
