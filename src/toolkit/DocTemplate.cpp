#include "toolkit/DocTemplate.h"

#include "toolkit/Document.h"
#include "toolkit/FrameWnd.h"
#include "toolkit/View.h"
#include "toolkit/WinApp.h"

namespace toolkit {

namespace {
constexpr int kDocStringCapacity = 512;
}

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, DocumentFactory document,
                                       FrameFactory frame, ViewFactory view)
    : m_resourceId(resourceId), m_makeDocument(document), m_makeFrame(frame), m_makeView(view)
{
    char text[kDocStringCapacity] = {};
    CWinApp* app = CWinApp::Get();
    LoadStringA(app != nullptr ? app->Instance() : nullptr, resourceId, text, kDocStringCapacity);
    m_docString = text;
}

// The frame goes first: its view refers to the document.
CSingleDocTemplate::~CSingleDocTemplate()
{
    m_frame.reset();
    m_document.reset();
}

bool CSingleDocTemplate::CreateFrame()
{
    m_frame.reset(m_makeFrame());
    if (m_frame != nullptr && m_frame->LoadFrame(m_resourceId, m_document.get(), m_makeView)) {
        return true;
    }
    m_frame.reset();
    return false;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const char* path)
{
    if (m_document == nullptr) {
        m_document.reset(m_makeDocument());
        if (m_document == nullptr) {
            return nullptr;
        }
    }
    if ((m_frame == nullptr || m_frame->GetSafeHwnd() == nullptr) && !CreateFrame()) {
        return nullptr;
    }
    if (path == nullptr) {
        if (!m_document->OnNewDocument()) {
            return nullptr;
        }
    } else {
        if (!m_document->OnOpenDocument(path)) {
            return nullptr;
        }
        m_document->SetPathName(path);
    }
    m_frame->InitialUpdateFrame();
    return m_document.get();
}

} // namespace toolkit
