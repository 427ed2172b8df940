// Nothing on the MIDI and audio paths allocates: every operator new of this program is
// counted, and adding events, handing them over and rendering must leave the count alone.

// The replacements below pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include "ProbeSupport.h"

#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1);
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(VstPluginAllocation, EventsAndRenderingAllocateNothing)
{
    constexpr int kFrames = 64;
    constexpr int kBlocks = 50;
    const unsigned char message[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("no_replacing").c_str()));  // both render paths below
    StreamBlock block(2, 2, kFrames, 0.5f);

    const long before = g_allocations.load();
    for (int i = 0; i < kBlocks; ++i) {
        plugin.AddMidiEvent(0x90, 60, 100, 44100.0f, static_cast<std::uint32_t>(i));
        plugin.AddSysExEvent(message, sizeof message, 44100.0f, static_cast<std::uint32_t>(i));
        plugin.AddMidiEvent(0x80, 60, 0, 44100.0f, static_cast<std::uint32_t>(i + 1));
        block.Render(&plugin);
        plugin.ProcessReplacing(block.Inputs(), block.Outputs(), kFrames);
    }
    const long after = g_allocations.load();
    EXPECT_EQ(after - before, 0);
    EXPECT_EQ(block.Out(0)[0], 0.5f);  // the work really happened (no output stage last)
}

TEST(VstPluginAllocation, TheCounterSeesAllocations)
{
    const long before = g_allocations.load();
    void* p = ::operator new(16);  // a call, not an expression the compiler may elide
    EXPECT_EQ(g_allocations.load() - before, 1);
    ::operator delete(p);
}
