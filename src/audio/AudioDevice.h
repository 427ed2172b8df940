#pragma once
// What the instrument session plays through: one kind of audio device (ASIO drivers, the
// system's own audio), its devices listed by position, at most one of them open. The session opens one with a
// render function, asks for a rate, starts it, watches it and closes it, all on the
// user-interface thread; the device calls the render function once per block on its own
// audio thread, and passes its requests to be opened afresh to the request handler.

#include "base/RenderCallback.h"

#include <cstdint>
#include <string>

class IAudioDevice {
public:
    virtual ~IAudioDevice() = default;

    // The devices this kind offers, by position from 0.
    virtual std::int32_t DeviceCount() const = 0;
    virtual std::string DeviceName(std::int32_t index) const = 0;
    // What the settings file keeps to find device `index` again, whatever else comes and goes;
    // empty when this kind is remembered by position (ASIO drivers).
    virtual std::string DeviceKey(std::int32_t) const { return {}; }
    // The position of the device keyed `key` (empty: the kind's default device), or of the one
    // standing in for it when it is gone (`standIn` set then); -1 when there is none.
    virtual std::int32_t FindDevice(const std::string& key, bool& standIn) const
    {
        standIn = false;
        for (std::int32_t i = 0; i < DeviceCount(); ++i) {
            if (DeviceKey(i) == key)
                return i;
        }
        return -1;
    }
    // Reads the list of devices afresh (devices plugged in or out); positions may change.
    virtual void RefreshDevices() {}
    // The kind's name in what the user is told: "<kind> failed".
    virtual const char* KindName() const { return "ASIO"; }

    // Opens device `index` with everything it needs to play; every block is rendered by
    // `render`, then its played outputs are scaled and limited (audio/OutputStage.h). False
    // with nothing left open.
    virtual bool Open(std::int32_t index, RenderCallback render, void* owner) = 0;
    // Asks the open device for `rate` Hz; true when it runs at that rate afterwards.
    virtual bool SetRate(double rate) = 0;
    virtual bool Start() = 0;
    // Stops, releases the device and forgets it; closing a closed device does nothing.
    virtual void Close() = 0;

    // The rate the device really runs at (0 while none is known) and its block size.
    virtual double Rate() const = 0;
    virtual std::int32_t BufferFrames() const = 0;
    // Seconds between two blocks, and from a block rendered to its sound leaving the device;
    // 0 while not known.
    virtual double PeriodSeconds() const { return Rate() > 0.0 ? BufferFrames() / Rate() : 0.0; }
    virtual double OutputLatency() const = 0;
    // After an open that worked, what the user should know of it (another mode than the one
    // chosen, say); after one that failed, why, when the device tells; else empty.
    virtual std::string OpenNote() const { return {}; }
    virtual std::string FailureText() const { return {}; }
    virtual bool IsOpen() const = 0;
    virtual bool IsRunning() const = 0;
    // Blocks finished since the device was made (wraps around) and whether one is under way:
    // a watchdog tells a block stuck in the instrument from a device that stopped calling.
    virtual std::uint32_t CompletedBlocks() const = 0;
    virtual bool BlockInProgress() const = 0;
    // What happened when the device faulted inside a call since the last open; else empty.
    virtual std::string FaultText() const = 0;

    // Called on the device's thread when it asks to be opened afresh (a reset, a new buffer
    // size, a rate it changed itself); it must return at once. Set while nothing is open.
    using RequestHandler = void (*)(void* context);
    virtual void SetRequestHandler(RequestHandler handler, void* context) = 0;
    // The device's own settings window; false when there is none or it refuses.
    virtual bool ShowControlPanel() = 0;
};
