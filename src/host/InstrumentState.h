#pragma once
// What the document saves and opens: the running instrument's state as the bytes of a program
// or bank file. The instrument view provides it; the document finds it through its frame's
// view, so a build without an instrument simply has none.

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class IInstrumentState {
public:
    // Whether an instrument is loaded and its start-up done: before that there is nothing to
    // save and nothing to apply a file to.
    virtual bool InstrumentRunning() const = 0;
    // The bytes of a bank, or of the current program when `program`; empty, with the reason
    // in `failure`, when there is nothing that may be saved (no instrument runs, or it gave a
    // state that cannot be saved whole).
    virtual std::vector<std::uint8_t> SaveInstrumentState(bool program, std::string& failure) = 0;
    std::vector<std::uint8_t> SaveInstrumentState(bool program)
    {
        std::string failure;
        return SaveInstrumentState(program, failure);
    }
    // Applies the bytes of a program or bank file; an empty text when it was applied, else
    // the reason it was refused, with the instrument's state unchanged.
    virtual std::string LoadInstrumentState(const std::vector<std::uint8_t>& bytes) = 0;

protected:
    ~IInstrumentState() = default;
};

}  // namespace host
