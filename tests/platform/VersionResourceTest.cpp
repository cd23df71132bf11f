// The version-resource reader on small PE files built here byte by byte, and on damaged ones.

#include "platform/VersionResource.h"

#include "support/PeBytes.h"
#include "support/TempDir.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace tunquil::platform {
namespace {

using test::PeFile;
using test::Put16;
using test::Put32;
using test::Utf16;
using test::VersionInfo;

TEST(VersionResource, ReadsTheStringTableOfTheAskedLanguage) {
    std::string pe = PeFile(VersionInfo(u"040904e4", {{u"CompanyName", u"Caf\u00e9 \U0001F3B5"},
                                                      {u"FileExtents", u"mid|rmi"},
                                                      {u"Comments", u""}}));
    auto strings = ReadVersionStrings(pe, "040904E4");
    ASSERT_TRUE(strings);
    EXPECT_EQ((*strings)["CompanyName"], "Caf\xC3\xA9 \xF0\x9F\x8E\xB5");
    EXPECT_EQ((*strings)["FileExtents"], "mid|rmi");
    EXPECT_EQ((*strings)["Comments"], "");
    EXPECT_EQ(strings->size(), 3u);
    EXPECT_FALSE(ReadVersionStrings(pe, "040704B0"));

    test::TempDir dir;
    auto onDisk = ReadVersionStringsOfFile(dir.Write("NPmidi.dll", pe), "040904E4");
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(*onDisk, *strings);
    EXPECT_FALSE(ReadVersionStringsOfFile(dir / "missing.dll", "040904E4"));
    EXPECT_FALSE(ReadVersionStringsOfFile(dir.Write("big.dll", pe), "040904E4", 100));
}

TEST(VersionResource, DamagedFilesHaveNoVersionInformation) {
    const std::string good = PeFile(VersionInfo(u"040904E4", {{u"FileExtents", u"mid"}}));
    ASSERT_TRUE(ReadVersionStrings(good, "040904E4"));
    EXPECT_FALSE(ReadVersionStrings("", "040904E4"));
    EXPECT_FALSE(ReadVersionStrings("MZ", "040904E4"));
    EXPECT_FALSE(ReadVersionStrings(std::string(4096, 'x'), "040904E4"));
    // Every cut of the file ends inside some structure; none may be read past.
    for (std::size_t n = 0; n < good.size(); n += 7)
        EXPECT_FALSE(ReadVersionStrings(good.substr(0, n), "040904E4")) << n;

    std::string pointsAway = good;
    Put32(pointsAway, 0x3C, 0xFFFFFFF0u);
    EXPECT_FALSE(ReadVersionStrings(pointsAway, "040904E4"));

    // A data entry claiming more bytes than the section has.
    std::string tooLong = good;
    Put32(tooLong, 0x200 + 0x4C, 0x7FFFFFFF);
    EXPECT_FALSE(ReadVersionStrings(tooLong, "040904E4"));

    // A resource directory that points at itself forever is followed three levels only.
    std::string looping = good;
    Put32(looping, 0x200 + 20, 0x80000000u);
    EXPECT_FALSE(ReadVersionStrings(looping, "040904E4"));

    // A string block whose length is zero ends its table instead of looping on it.
    std::string info = VersionInfo(u"040904E4", {{u"FileExtents", u"mid"}});
    std::string zeroLength = PeFile(info);
    std::size_t entry = zeroLength.find(Utf16(u"FileExtents")) - 6;
    Put16(zeroLength, entry, 0);
    auto strings = ReadVersionStrings(zeroLength, "040904E4");
    ASSERT_TRUE(strings);
    EXPECT_TRUE(strings->empty());
}

} // namespace
} // namespace tunquil::platform
