// CSingleDocTemplate: makes the one document, the main frame and its view from one resource
// number (menu, accelerators, icon and the document string share it), and reuses them when a
// new or another document is opened.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace toolkit {

class CDocument;
class CFrameWnd;
class CView;

class CSingleDocTemplate {
public:
    using DocumentFactory = CDocument* (*)();
    using FrameFactory = CFrameWnd* (*)();
    using ViewFactory = CView* (*)();

    CSingleDocTemplate(UINT resourceId, DocumentFactory document, FrameFactory frame,
                       ViewFactory view);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    // A new document for a null path, else the file at `path` opened as the document. Creates
    // the frame and view the first time; gives the view its initial update every time.
    // Returns null when something failed (the user has been told where that applies).
    CDocument* OpenDocumentFile(const char* path);

    UINT ResourceId() const { return m_resourceId; }
    // The document once the first one was opened; null before.
    CDocument* Document() const { return m_document.get(); }
    const std::string& DocString() const { return m_docString; }

private:
    bool CreateFrame();

    UINT m_resourceId;
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::string m_docString;
    std::unique_ptr<CDocument> m_document;
    std::unique_ptr<CFrameWnd> m_frame;
};

} // namespace toolkit
