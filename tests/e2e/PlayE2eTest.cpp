// The instrument plays: notes from the scripted MIDI port reach the probe plug-in as events
// stamped at the stream's rate, the simulated card records the probe's signal after the output
// stage, long system-exclusive messages arrive whole, and the program ends cleanly while the
// driver and the port are still busy.
#include "E2eSupport.h"
#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace e2e {
namespace {

constexpr int kVstMidiEventType = 1;
constexpr int kVstSysExEventType = 6;
// byteSize counts the event without its type and byteSize fields.
constexpr int kVstMidiEventBytes = 24;
constexpr float kNoteLevel = 0.125f;  // the probe's output per held note
constexpr float kOutputGain = 0.9f;

class Play : public E2eTest {
protected:
    // One simulated card as driver 1 of the program's list end, MIDI port 1, and `script`.
    std::string StartPlaying(const std::string& script, const char* rateCode = "0")
    {
        const std::string card = AddCard("E2E Play");
        m_wavPath = FileIn("out.wav");
        Drivers().setText(card, "WavFile", m_wavPath);
        Drivers().setNumber(card, "WavFormat", 0);
        Drivers().setText(card, "StatsFile", FileIn("stats.txt"));
        InstallProbe("default");
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        WriteSetting("device", "midiin", "1");
        WriteSetting("device", "samplerate", rateCode);
        WriteMidiScript("port E2E Keys\n" + script);
        Launch();
        return card;
    }
    bool MidiRecordsReach(std::size_t count) const
    {
        return WaitForRecord([&](const std::vector<ProbeRecord>&) {
            return Log().Records("midi").size() >= count;
        });
    }
    std::string m_wavPath;
};

TEST_F(Play, NoteOnReachesThePluginAsMidiEvent)
{
    StartPlaying("200 short 90 3c 64\n");
    ASSERT_TRUE(MidiRecordsReach(1));
    const ProbeRecord note = Log().Records("midi").front();
    EXPECT_EQ(note.number("type"), kVstMidiEventType);
    EXPECT_EQ(note.number("size"), kVstMidiEventBytes);
    EXPECT_EQ(note.at("data"), "90,3c,64,00");
    EXPECT_EQ(note.number("delta"), 0);  // the first event of its list
    EXPECT_EQ(CloseProgram(), 0u);
}

// Pairs of notes 80 ms apart, at 96000 Hz with blocks of 170 ms: a pair that lands in one list
// shows the second note about 80 ms of 96000 Hz frames after the first. The bounds leave 25 ms
// for the port's timing; at 44100 Hz the gap could be at most 4851 frames.
TEST_F(Play, DeltaFramesCountTheStreamsRate)
{
    constexpr int kPairs = 8;
    constexpr int kPairSpacingMs = 200;
    constexpr int kGapMs = 80;
    constexpr int kBlockFrames = 16384;
    constexpr int kFramesPerMs = 96;
    std::ostringstream script;
    for (int pair = 0; pair < kPairs; ++pair) {
        const int at = 100 + pair * kPairSpacingMs;
        script << at << " short 90 " << std::hex << 40 + pair << " 64\n"
               << std::dec << at + kGapMs << " short 80 " << std::hex << 40 + pair << " 00\n"
               << std::dec;
    }
    const std::string card = AddCard("E2E Slow");
    Drivers().setNumber(card, "MaxSize", kBlockFrames);
    Drivers().setNumber(card, "PreferredSize", kBlockFrames);
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    WriteSetting("device", "midiin", "1");
    WriteSetting("device", "samplerate", "2");
    WriteMidiScript("port E2E Keys\n" + script.str());
    Launch();
    ASSERT_TRUE(MidiRecordsReach(2 * kPairs));
    int pairsInOneList = 0;
    const std::vector<ProbeRecord> records = Log().Records();
    for (std::size_t i = 0; i + 2 < records.size(); ++i) {
        if (records[i].kind != "events" || records[i].number("count") != 2) {
            continue;
        }
        const ProbeRecord& first = records[i + 1];
        const ProbeRecord& second = records[i + 2];
        if (first.at("data").substr(0, 2) != "90" || second.at("data").substr(0, 2) != "80") {
            continue;
        }
        ++pairsInOneList;
        const long long gap = second.number("delta") - first.number("delta");
        EXPECT_GE(gap, (kGapMs - 25) * kFramesPerMs) << first.at("data") << " " << first.number("delta") << " "
                                << second.number("delta");
        EXPECT_LE(gap, (kGapMs + 30) * kFramesPerMs) << first.at("data") << " " << first.number("delta") << " "
                                << second.number("delta");
    }
    EXPECT_GT(pairsInOneList, 0) << "no pair of notes arrived in one block";
    EXPECT_EQ(CloseProgram(), 0u);
}

// Ten held notes are 1.25 before the output stage: 1.125 after the gain, limited to 1. Four
// held notes are 0.5, that is 0.45.
TEST_F(Play, CardRecordsTheProbesSignalScaledAndLimited)
{
    std::ostringstream script;
    for (int note = 0; note < 10; ++note) {
        script << "100 short 90 " << std::hex << 0x30 + note << std::dec << " 64\n";
    }
    for (int note = 0; note < 6; ++note) {
        script << "400 short 80 " << std::hex << 0x30 + note << std::dec << " 00\n";
    }
    StartPlaying(script.str());
    ASSERT_TRUE(MidiRecordsReach(16));
    Sleep(200);  // a few blocks more with the four notes held
    EXPECT_EQ(CloseProgram(), 0u);

    WavFile wav;
    ASSERT_TRUE(readWav(m_wavPath, wav));
    ASSERT_EQ(wav.format, 3);
    ASSERT_EQ(wav.bitsPerSample, 32);
    // Notes sent together may fall into two blocks: every level of 0 to 10 held notes is
    // possible, each scaled and limited.
    constexpr int kChord = 10;
    constexpr int kHeldAtEnd = 4;
    bool seen[kChord + 1] = {};
    for (std::size_t frame = 0; frame < wav.frames(); ++frame) {
        for (int channel = 0; channel < 2; ++channel) {
            float value = 0.0f;
            std::memcpy(&value, wav.sample(frame, channel), sizeof value);
            bool known = false;
            for (int held = 0; held <= kChord; ++held) {
                const float level = std::min(1.0f, held * kNoteLevel * kOutputGain);
                if (std::fabs(value - level) < 1e-5f) {
                    seen[held] = known = true;
                }
            }
            ASSERT_TRUE(known) << "frame " << frame << " channel " << channel << ": " << value;
        }
    }
    EXPECT_TRUE(seen[kChord]) << "the limited chord never sounded";
    EXPECT_TRUE(seen[kHeldAtEnd]) << "the four held notes never sounded";
}

TEST_F(Play, LongSystemExclusiveArrivesInPiecesWithIntactBytes)
{
    std::ostringstream bytes;
    std::string expected;
    bytes << "f0";
    expected = "f0";
    for (int i = 1; i < 149; ++i) {
        char text[4];
        std::snprintf(text, sizeof text, "%02x", i % 0x80);
        bytes << " " << text;
        expected += std::string(",") + text;
    }
    bytes << " f7";
    expected += ",f7";
    StartPlaying("100 sysex " + bytes.str() + "\n");
    ASSERT_TRUE(WaitForRecord([&](const std::vector<ProbeRecord>&) {
        return Log().Records("sysex").size() >= 2;
    }));
    const std::vector<ProbeRecord> pieces = Log().Records("sysex");
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].number("type"), kVstSysExEventType);
    EXPECT_EQ(pieces[0].number("bytes"), 100);
    EXPECT_EQ(pieces[1].number("bytes"), 50);
    EXPECT_EQ(pieces[0].at("data") + "," + pieces[1].at("data"), expected);
    EXPECT_EQ(CloseProgram(), 0u);
}

// Notes keep coming every few milliseconds and the card keeps calling back while the frame
// closes: the program ends with 0 and the plug-in's last call is its close.
TEST_F(Play, ClosingWhileTheDevicesRunEndsCleanly)
{
    std::ostringstream script;
    for (int at = 50; at < 20000; at += 5) {
        script << at << " short " << ((at / 5) % 2 == 0 ? "90" : "80") << " 3c 64\n";
    }
    const std::string card = StartPlaying(script.str());
    ASSERT_TRUE(MidiRecordsReach(10));
    EXPECT_EQ(CloseProgram(), 0u);
    // The card was stopped and released: it wrote its counters at the end.
    const auto stats = readStats(FileIn("stats.txt"));
    EXPECT_GT(stats.count("blocks") ? stats.at("blocks") : 0.0, 0.0);
    EXPECT_EQ(stats.count("stops") ? stats.at("stops") : 0.0, 1.0);
    const std::vector<ProbeRecord> records = Log().Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().kind, "dispatch");
    EXPECT_EQ(records.back().number("op"), kOpClose);
}

} // namespace
} // namespace e2e
