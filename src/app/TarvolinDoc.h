// CTarvolinDoc: the single document, the instrument's state as a VST bank (.fxb) or program
// (.fxp) file. The instrument view gives and takes the bytes (host::IInstrumentState); a
// frame without one (the shell alone) stores and loads nothing.
//
// A file named on the command line is opened before the instrument runs: the document then
// only takes the name, and the view reads the file once the instrument is open.
#pragma once

#include "toolkit/Document.h"

namespace host {
class IInstrumentState;
}

class CTarvolinDoc : public toolkit::CDocument {
public:
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    void Serialize(toolkit::CArchive& archive) override;
    const char* FileFilters() const override;

private:
    static host::IInstrumentState* Instrument();
};
