#include "plugin/Transport.h"

#include <cmath>
#include <cstring>

namespace {
constexpr double kSecondsPerMinute = 60.0;
constexpr double kQuarterNote = 4.0;
// 25 frames per second: a value plug-ins know, though no SMPTE position is given.
constexpr std::int32_t kSmpteFrameRate = 1;
constexpr std::int32_t kPlayingFlags = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid
                                       | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

bool IsPositive(double value)
{
    return std::isfinite(value) && value > 0.0;
}
} // namespace

CTransport::CTransport()
{
    std::memset(m_records, 0, sizeof m_records);
    Fill(m_records[0], 0.0, kVstTempoValid | kVstTimeSigValid);
}

void CTransport::SetTempo(double beatsPerMinute)
{
    if (IsPositive(beatsPerMinute))
        m_tempo.store(beatsPerMinute, std::memory_order_relaxed);
}

void CTransport::SetSampleRate(double rate)
{
    if (IsPositive(rate))
        m_rate.store(rate, std::memory_order_relaxed);
}

void CTransport::Fill(VstTimeInfo& record, double nanoSeconds, std::int32_t flags) const
{
    const double quartersPerBar = kBeatsPerBar * kQuarterNote / kBeatNoteValue;
    record.samplePos = m_samplePos;
    record.sampleRate = SampleRate();
    record.nanoSeconds = nanoSeconds;
    record.ppqPos = m_ppqPos;
    record.tempo = Tempo();
    record.barStartPos = std::floor(m_ppqPos / quartersPerBar) * quartersPerBar;
    record.cycleStartPos = 0.0;
    record.cycleEndPos = 0.0;
    record.timeSigNumerator = kBeatsPerBar;
    record.timeSigDenominator = kBeatNoteValue;
    record.smpteOffset = 0;
    record.smpteFrameRate = kSmpteFrameRate;
    record.samplesToNextClock = 0;
    record.flags = flags;
}

const VstTimeInfo& CTransport::BeginBlock(std::int32_t frames, double nanoSeconds)
{
    std::int32_t flags = kPlayingFlags;
    if (m_restart.exchange(false, std::memory_order_acq_rel)) {
        m_samplePos = 0.0;
        m_ppqPos = 0.0;
        flags |= kVstTransportChanged;
    }
    // Only the audio thread publishes: the slot after the published one is no one's now.
    const int next = (m_published.load(std::memory_order_relaxed) + 1) % kRecords;
    VstTimeInfo& record = m_records[next];
    Fill(record, nanoSeconds, flags);
    m_published.store(next, std::memory_order_release);

    if (frames > 0) {
        m_samplePos += frames;
        if (record.sampleRate > 0.0)
            m_ppqPos += frames * record.tempo / (kSecondsPerMinute * record.sampleRate);
    }
    return record;
}
