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
         "safrancois", true}, // its letters above 0x7F too
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
    EXPECT_TRUE(SearchQuery("moo").NarrowedBy(SearchQuery("sonata moon")));
    EXPECT_TRUE(SearchQuery("").NarrowedBy(SearchQuery("x")));
    EXPECT_FALSE(SearchQuery("moon").NarrowedBy(SearchQuery("moo")));
    EXPECT_FALSE(SearchQuery("moon sun").NarrowedBy(SearchQuery("moon")));
}
