#include "app/TarvolinDoc.h"

#include "host/HostRules.h"
#include "host/InstrumentState.h"
#include "toolkit/FrameWnd.h"
#include "toolkit/View.h"
#include "toolkit/WinApp.h"

namespace {
constexpr char kFilters[] =
    "VST bank (*.fxb)\0*.fxb\0VST program (*.fxp)\0*.fxp\0All Files (*.*)\0*.*\0";
constexpr char kNothingToSave[] = "the instrument gave no state to save";
} // namespace

bool CTarvolinDoc::OnNewDocument()
{
    return CDocument::OnNewDocument();
}

host::IInstrumentState* CTarvolinDoc::Instrument()
{
    toolkit::CWinApp* app = toolkit::CWinApp::Get();
    toolkit::CFrameWnd* frame = app != nullptr ? app->MainFrame() : nullptr;
    return frame != nullptr ? dynamic_cast<host::IInstrumentState*>(frame->GetActiveView())
                            : nullptr;
}

bool CTarvolinDoc::OnOpenDocument(const std::string& path)
{
    host::IInstrumentState* instrument = Instrument();
    if (instrument != nullptr && !instrument->InstrumentRunning()) {
        return true;
    }
    return CDocument::OnOpenDocument(path);
}

void CTarvolinDoc::Serialize(toolkit::CArchive& archive)
{
    host::IInstrumentState* instrument = Instrument();
    if (instrument == nullptr) {
        return;
    }
    if (archive.IsStoring()) {
        std::string failure;
        archive.Bytes() =
            instrument->SaveInstrumentState(host::IsProgramFileName(archive.Path()), failure);
        if (archive.Bytes().empty()) {
            archive.Fail(failure.empty() ? kNothingToSave : failure);
        }
        return;
    }
    const std::string reason = instrument->LoadInstrumentState(archive.Bytes());
    if (!reason.empty()) {
        archive.Fail(reason);
    }
}

const char* CTarvolinDoc::FileFilters() const
{
    return kFilters;
}
