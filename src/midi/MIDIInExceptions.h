#pragma once
// The three failures the MIDI input device reports. Each derives directly from a standard
// exception class and from nothing else here, so a handler for one never catches another.

#include <windows.h>
#include <mmsystem.h>

#include <exception>
#include <new>

namespace midi {

// A MIDI input service call failed. The text is the service's own text for the result, taken
// when the exception is made; the result code itself is not kept.
class CMIDIInException : public std::exception {
public:
    explicit CMIDIInException(MMRESULT result) noexcept;
    const char* what() const noexcept override { return m_text; }

private:
    // The text buffer the service fills: at most 127 characters survive.
    static constexpr UINT kTextSize = 128;
    char m_text[kTextSize];
};

// The device's signalling event could not be created.
class CMIDIInEventFailure : public std::exception {
public:
    const char* what() const noexcept override;
};

// No storage for one more system-exclusive header.
class CMIDIInMemFailure : public std::bad_alloc {
public:
    const char* what() const noexcept override;
};

} // namespace midi
