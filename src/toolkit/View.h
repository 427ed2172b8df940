// CView: the window that shows the document inside the frame. CFormView is a view made from a
// dialog template as a child of the frame; it can shrink its frame to fit the form.
#pragma once

#include "toolkit/Wnd.h"

namespace toolkit {

class CDocument;
class CFrameWnd;

class CView : public CWnd {
public:
    // Creates the view's window as the child `id` of `frame`, showing `document`.
    virtual bool Create(CFrameWnd* frame, CDocument* document, UINT id) = 0;
    // Called when a document has been created or opened; may run more than once.
    virtual void OnInitialUpdate() {}
    // Sees every message of the program's message loop before the frame's accelerators and
    // its window do; true when the view took it.
    virtual bool PreTranslateMessage(MSG& msg) { (void)msg; return false; }
    // The frame became active or inactive.
    virtual void OnActivateFrame(bool active) { (void)active; }

    CDocument* GetDocument() const { return m_document; }
    CFrameWnd* GetParentFrame() const { return m_frame; }

protected:
    CFrameWnd* m_frame = nullptr;
    CDocument* m_document = nullptr;
};

class CFormView : public CView {
public:
    explicit CFormView(UINT templateId) : m_templateId(templateId) {}
    bool Create(CFrameWnd* frame, CDocument* document, UINT id) override;

    // Sizes the frame so that its client area holds the form and the status bar exactly.
    void ResizeParentToFit();

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    UINT m_templateId;
    SIZE m_formSize{};
};

} // namespace toolkit
