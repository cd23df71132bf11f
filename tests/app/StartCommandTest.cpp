// A start's command argument: what it asks for, and the title it finds or adds.

#include "app/StartCommand.h"

#include "support/MidiBytes.h"
#include "support/TestProgram.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

TEST(StartCommand, VerbsAndPathsAreToldApart) {
    struct Case {
        const char* argument;
        StartVerb verb;
        const char* path;
    };
    for (const Case& c : {Case{"/m/a.mid", StartVerb::Play, "/m/a.mid"},
                          Case{"P/m/a.mid", StartVerb::Play, "/m/a.mid"},
                          Case{"O/m/a.mid", StartVerb::Play, "/m/a.mid"},
                          Case{"Z/m/a.mid", StartVerb::Add, "/m/a.mid"},
                          Case{"M/m/a.mid", StartVerb::Mail, "/m/a.mid"},
                          Case{"NV/t/a.mid[http://h/a.mid", StartVerb::PluginRequest, ""},
                          Case{"Pa.mid", StartVerb::None, ""}, Case{"", StartVerb::None, ""},
                          Case{"X/m/a.mid", StartVerb::None, ""}}) {
        StartCommand command = ParseStartCommand(c.argument);
        EXPECT_EQ(command.verb, c.verb) << c.argument;
        EXPECT_EQ(command.path, c.path) << c.argument;
    }
}

TEST(StartCommand, AFileIsAddedOnceUnderItsDefaultCategoryAndFoundByItsPathAfterwards) {
    test::TestProgram p;
    auto path = p.dir.Write("in/Song_One.mid", test::SmallMidiFile(2));
    std::string status;
    int32_t key =
        TitleForStartCommand(p.importer, p.db(), ParseStartCommand("P" + path.string()), status);
    ASSERT_GT(key, 0) << status;
    EXPECT_EQ(TitleForStartCommand(p.importer, p.db(), ParseStartCommand(path.string()), status),
              key);
    auto titles = p.db().LiveTitles();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].categoryName, "Windows default");
    EXPECT_EQ(titles[0].artist, "Unknown");
    EXPECT_EQ(titles[0].origin, path.string());

    auto bad = p.dir.Write("in/bad.mid", "not a tune");
    EXPECT_EQ(
        TitleForStartCommand(p.importer, p.db(), ParseStartCommand("Z" + bad.string()), status),
        -1);
    EXPECT_NE(status, "OK");
    EXPECT_EQ(p.db().LiveTitles().size(), 1u);
}

} // namespace
} // namespace tunquil
