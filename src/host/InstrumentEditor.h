#pragma once
// CInstrumentEditor: the instrument's editor inside the instrument view. The plug-in's own
// editor opens in the view's window (the generic editor when the plug-in shows none or its
// editor fails), and the frame fits exactly around it, in the middle of the screen. An editor
// that changes its size (a zoom, a panel it opens) asks for the new size, and the frame fits
// around it again, but never grows beyond the monitor's work area (there the view shows the
// editor's top-left part). One that faults while drawing is closed and the generic editor takes
// its place. The editor gets its idle call from a posted timer on the view's thread, never
// from audio.

#include "host/PaintStormWatch.h"
#include "host/PluginParameters.h"
#include "plugin/VstPlugin.h"
#include "toolkit/PostedTimer.h"
#include "toolkit/View.h"
#include "ui/GenericEditor.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace host {

class CInstrumentEditor {
public:
    // The view's timer for the idle call, and the message it is sent when the editor asked for
    // another size from a thread of its own.
    static constexpr UINT_PTR kIdleTimer = 1;
    static constexpr UINT kSizeMessage = WM_APP + 2;

    CInstrumentEditor(CVstPlugin& plugin, toolkit::CView& view);
    CInstrumentEditor(const CInstrumentEditor&) = delete;
    CInstrumentEditor& operator=(const CInstrumentEditor&) = delete;

    // Opens the plug-in's own editor, if it says it has one, and starts its idle calls; false
    // when the editor faulted while being opened.
    bool Open();
    // The view becomes exactly the editor's size and the frame moves to the middle of the
    // screen.
    void FitFrameAround();
    // From here on, size requests resize the frame; until Close.
    void FollowSizeRequests() { m_following = true; }

    // The view's idle timer and size message.
    void OnIdleTick();
    void OnSizeMessage() { ResizeToRequestedSize(); }
    // A few times a second: values the plug-in changed itself show in the generic editor, and
    // a switched-off instrument's editor gets no more idle calls.
    void OnHealthTick();
    // The parameters of another program: the generic editor shows them.
    void Refresh();
    // Every message of the loop, first: true when it found the editor faulting while drawing
    // and closed it (the message is not dispatched then, and the user is to be told).
    bool WatchPaints(const MSG& msg);

    // Stops the idle calls and closes the generic editor (it reads the plug-in until its window
    // is gone); the plug-in's own editor goes with the plug-in.
    void Close();

private:
    static bool OnSizeRequest(void* editor, std::int32_t width, std::int32_t height);
    void ResizeToRequestedSize();
    void FitFrameTo(SIZE content);
    void KeepFrameOnWorkArea();
    SIZE OpenGenericEditor();
    void CloseBrokenEditor();

    CVstPlugin& m_plugin;
    toolkit::CView& m_view;
    bool m_following = false;
    // The editor's last size request (width in the high half), whether a resize is posted,
    // and the thread the view runs on.
    std::atomic<std::uint64_t> m_requestedSize{0};
    std::atomic<bool> m_sizePosted{false};
    // Whether the instrument's own editor is what the view shows (any thread reads it).
    std::atomic<bool> m_ownEditorShown{false};
    DWORD m_viewThread = 0;
    HWND m_paintedWindow = nullptr;  // an editor window just handed a paint
    CPaintStormWatch m_paintStorm;
    // Posted ticks (toolkit/PostedTimer.h): the idle call goes on even while a window of the
    // thread never stops painting.
    toolkit::CPostedTimer m_idleTicks;
    bool m_idleRunning = false;
    bool m_inIdle = false;
    // The generic editor, for a plug-in that shows no editor of its own.
    std::unique_ptr<CPluginParameters> m_parameterAccess;
    std::unique_ptr<CGenericEditor> m_genericEditor;
    std::uint32_t m_automationsSeen = 0;
};

}  // namespace host
