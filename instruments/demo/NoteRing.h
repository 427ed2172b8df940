#pragma once
// Hands MIDI messages from one producer thread (the editor's keyboard) to one consumer thread
// (the audio thread) without locks or allocation. A full ring drops the newest message.

#include <atomic>
#include <cstdint>
#include <cstring>

namespace demo {

class NoteRing {
public:
    static constexpr unsigned kSize = 256;  // a power of two

    bool push(const unsigned char* bytes)
    {
        const unsigned tail = writeIndex.load(std::memory_order_relaxed);
        if (tail - readIndex.load(std::memory_order_acquire) == kSize)
            return false;
        std::memcpy(slots[tail % kSize], bytes, 3);
        writeIndex.store(tail + 1, std::memory_order_release);
        return true;
    }

    bool pop(unsigned char* bytes)
    {
        const unsigned head = readIndex.load(std::memory_order_relaxed);
        if (head == writeIndex.load(std::memory_order_acquire))
            return false;
        std::memcpy(bytes, slots[head % kSize], 3);
        readIndex.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    unsigned char slots[kSize][3] = {};
    std::atomic<unsigned> writeIndex{0};
    std::atomic<unsigned> readIndex{0};
};

}  // namespace demo
