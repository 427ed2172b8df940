#pragma once
// Shared pieces of the MIDI input tests: a receiver that records what reaches it, a fixture
// with the scripted service installed, and a bounded wait for things other threads do.

#include "ErrorTexts.h"
#include "ScriptedMidiService.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIInExceptions.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace miditest {

enum class Kind { SysExBuffer, ShortMessage, SysExError, ShortMessageError };

struct Received {
    Kind kind;
    std::uint32_t word;  // short messages
    char* data;          // buffers
    std::string bytes;   // the recorded bytes of a buffer, copied at delivery
    std::uint32_t timestamp;
    DWORD thread;
};

// Records every call. With a device to lend to, it lends each returned buffer again, as the
// host does.
class RecordingReceiver : public midi::CMIDIInReceiver {
public:
    void LendAgainTo(midi::CMIDIInDevice* device, DWORD length);
    std::vector<Received> Events() const;
    std::size_t Count() const;

    void OnSysExBuffer(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) override;
    void OnShortMessage(std::uint32_t message, std::uint32_t timestamp) override;
    void OnSysExError(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) override;
    void OnShortMessageError(std::uint32_t message, std::uint32_t timestamp) override;

private:
    void Record(Kind kind, std::uint32_t word, char* data, std::uint32_t bytes,
                std::uint32_t timestamp);

    mutable std::mutex m_mutex;
    std::vector<Received> m_events;
    midi::CMIDIInDevice* m_lendTo = nullptr;
    DWORD m_lendLength = 0;
};

// Polls `done` until it holds or a generous limit passes; the limit only turns a hang into a
// failure, it measures nothing.
bool WaitUntil(const std::function<bool()>& done);

// The service's text for `result` as a 128-character buffer holds it.
std::string ExpectedText(MMRESULT result);

// A device on the scripted service with two ports and a recording receiver attached. After
// each test the device is destroyed and the audit must be clean: every header unprepared
// exactly once and never while the port held it.
class DeviceTest : public ::testing::Test {
public:
    static constexpr DWORD kBufferSize = 16;

protected:
    void TearDown() override;

    void OpenAndStart(UINT port = 0);
    // A distinct caller buffer for each call, alive for the whole test.
    char* NewBuffer();
    // Lends `count` new buffers; returns them in lending order.
    std::vector<char*> Lend(int count);

    fakemidi::CScriptedMidiService service{{"Scripted Port A", "Scripted Port B"}};
    RecordingReceiver receiver;
    std::unique_ptr<midi::CMIDIInDevice> device = std::make_unique<midi::CMIDIInDevice>();
    // Unprepare calls the device may make, expectedly, for a header the port still holds.
    unsigned expectedRefusedUnprepares = 0;
    // Headers the service never unprepared because a test made it refuse.
    unsigned expectedLeftPrepared = 0;

private:
    std::vector<std::unique_ptr<char[]>> m_buffers;
};

} // namespace miditest
