#include "KeyboardLayout.h"
#include "NoteRing.h"

#include <gtest/gtest.h>

#include <thread>

using demo::KeyboardLayout;

TEST(DemoKeyboard, EveryKeyIsFoundAtItsOwnCentreAndBlackKeysWinWhereTheyOverlap)
{
    const KeyboardLayout keys(14, 56, 120);
    for (int note = KeyboardLayout::kFirstNote; note <= KeyboardLayout::kLastNote; ++note) {
        const auto r = keys.rect(note);
        EXPECT_EQ(keys.noteAt((r.left + r.right) / 2, r.top + 10), note) << note;
    }
    const auto cSharp = keys.rect(49);
    const auto c = keys.rect(48);
    EXPECT_LT(cSharp.left, c.right) << "C# overlaps C";
    EXPECT_EQ(keys.noteAt(c.right - 2, c.top + 5), 49);
    EXPECT_EQ(keys.noteAt(c.right - 2, c.bottom - 5), 48) << "below the black key the white one answers";
    EXPECT_EQ(keys.noteAt(13, 60), -1);
    EXPECT_EQ(keys.noteAt(14 + keys.width(), 60), -1);
    EXPECT_EQ(keys.noteAt(20, 55), -1);
    EXPECT_EQ(keys.rect(KeyboardLayout::kLastNote).right, 14 + keys.width());
    EXPECT_EQ(keys.velocityAt(60, keys.rect(60).top), 40);
    EXPECT_EQ(keys.velocityAt(60, keys.rect(60).bottom), 127);
}

TEST(DemoNoteRing, DeliversEveryMessageOnceInOrderAcrossThreads)
{
    demo::NoteRing ring;
    constexpr int kMessages = 100000;
    std::thread producer([&] {
        for (int i = 0; i < kMessages;) {
            const unsigned char bytes[3] = {0x90, static_cast<unsigned char>(i & 0x7F), static_cast<unsigned char>((i >> 7) & 0x7F)};
            if (ring.push(bytes))
                ++i;
        }
    });
    int expected = 0;
    unsigned char bytes[3];
    while (expected < kMessages) {
        if (!ring.pop(bytes))
            continue;
        ASSERT_EQ(bytes[1] | (bytes[2] << 7), expected & 0x3FFF);
        ++expected;
    }
    producer.join();
    EXPECT_FALSE(ring.pop(bytes));
}
