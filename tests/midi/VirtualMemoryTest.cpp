#include "midi/VirtualMemory.h"

#include "midi/MidiErrors.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace tunquil;

TEST(VirtualMemory, GrowingKeepsTheBytesAndTheCapacityIsAHardLimit) {
    TVirtualMemory memory(100, 10);
    std::memcpy(memory.Base(), "0123456789", 10);
    memory.SetSize(60);
    EXPECT_EQ(std::memcmp(memory.Base(), "0123456789", 10), 0);
    EXPECT_TRUE(memory.HasRoom(memory.Base() + 50, 10));
    EXPECT_FALSE(memory.HasRoom(memory.Base() + 51, 10));
    EXPECT_FALSE(memory.HasRoom(memory.Base() - 1, 1));

    try {
        memory.SetSize(101);
        ADD_FAILURE();
    } catch (const EVirtualMemory& e) {
        EXPECT_STREQ(e.what(), "Size exceeds capacity");
    }
    EXPECT_EQ(memory.Size(), 60);
    memory.SetSize(100);
    EXPECT_EQ(memory.Committed(), 100);
    EXPECT_EQ(std::memcmp(memory.Base(), "0123456789", 10), 0);
    memory.SetSize(0);
    EXPECT_FALSE(memory.HasRoom(memory.Base(), 1));
}
