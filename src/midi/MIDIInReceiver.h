#pragma once
// The receiver of MIDI input. The device calls it on the MIDI input service's callback thread;
// the slot order of the virtual operations is fixed: destructor, OnSysExBuffer, OnShortMessage,
// OnSysExError, OnShortMessageError.
//
// A short message word packs the status byte in bits 0 to 7, the first data byte in bits 8 to
// 15 and the second in bits 16 to 23. Time stamps are the service's milliseconds since input
// started, passed through unchanged. `data` is the buffer the caller lent, `bytesRecorded` how
// much of it the port filled. A receiver may lend its buffer again (QueueSysExBuffer) from
// OnSysExBuffer; it must not call Open, Close, Start or Stop from any of these operations.

#include <cstdint>

namespace midi {

class CMIDIInReceiver {
public:
    virtual ~CMIDIInReceiver() = default;
    virtual void OnSysExBuffer(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) = 0;
    virtual void OnShortMessage(std::uint32_t message, std::uint32_t timestamp) = 0;
    virtual void OnSysExError(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp) = 0;
    virtual void OnShortMessageError(std::uint32_t message, std::uint32_t timestamp) = 0;
};

} // namespace midi
