// CTarvolinDoc: the single document. It holds no data: opening reads nothing and saving
// writes an empty file.
#pragma once

#include "toolkit/Document.h"

class CTarvolinDoc : public toolkit::CDocument {
public:
    bool OnNewDocument() override;
    void Serialize(toolkit::CArchive& archive) override;
};
