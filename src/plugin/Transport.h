#pragma once
// CTransport: the time information the host gives the plug-in (audioMasterGetTime), for
// arpeggiators, tempo-synced LFOs and delays. The transport plays from the moment the stream
// starts: the audio thread advances it once per block, before the plug-in renders, by the
// block's frames in samples and at the set tempo in quarter notes, so a tempo change changes
// the slope of the position and never makes it jump. The time signature is 4/4.
//
// Threads. The user-interface thread sets the tempo and the rate and asks for a restart at
// any moment (atomics, read once per block). The audio thread writes each block's record into
// the next of a few slots and only then publishes it, so the record a plug-in reads during
// its render is complete and stays as it is for the block; a plug-in asking from another
// thread gets the last complete record. No allocation, no lock, no system call.

#include "base/SampleRate.h"
#include "plugin/VstInterface.h"

#include <atomic>
#include <cstdint>

class CTransport {
public:
    static constexpr double kDefaultTempo = 120.0;
    static constexpr std::int32_t kBeatsPerBar = 4;
    static constexpr std::int32_t kBeatNoteValue = 4;

    CTransport();
    CTransport(const CTransport&) = delete;
    CTransport& operator=(const CTransport&) = delete;

    // The tempo in beats per minute from the next block on; a tempo that is not a positive
    // number is ignored.
    void SetTempo(double beatsPerMinute);
    // The rate the blocks run at, from the next block on; not a positive number: ignored.
    void SetSampleRate(double rate);
    double Tempo() const { return m_tempo.load(std::memory_order_relaxed); }
    double SampleRate() const { return m_rate.load(std::memory_order_relaxed); }
    // The next block starts again at position 0 (the stream starts anew).
    void Restart() { m_restart.store(true, std::memory_order_release); }

    // Audio thread: publishes the record of a block of `frames` frames that starts now
    // (`nanoSeconds` from the system clock), then moves the position on past it.
    const VstTimeInfo& BeginBlock(std::int32_t frames, double nanoSeconds);
    // Any thread: the last complete record; before the first block the transport stands at 0.
    const VstTimeInfo* Current() const { return &m_records[m_published.load(std::memory_order_acquire)]; }

private:
    static constexpr int kRecords = 4;

    void Fill(VstTimeInfo& record, double nanoSeconds, std::int32_t flags) const;

    VstTimeInfo m_records[kRecords];
    std::atomic<int> m_published{0};
    std::atomic<double> m_tempo{kDefaultTempo};
    std::atomic<double> m_rate{kDefaultSampleRate};
    std::atomic<bool> m_restart{true};
    // Audio thread: where the next block starts, in samples and in quarter notes.
    double m_samplePos = 0.0;
    double m_ppqPos = 0.0;
};
