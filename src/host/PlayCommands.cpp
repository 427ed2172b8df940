// Playing without a MIDI keyboard: the computer keyboard as a music keyboard, the panic
// command, and the driver's own control panel.
#include "host/TarvolinView.h"

#include "host/HostRules.h"
#include "resource.h"
#include "settings/DeviceSettings.h"
#include "toolkit/FrameWnd.h"

namespace {
// lParam bit 30 of a key-down: the key was down already (the keyboard's auto-repeat).
constexpr LPARAM kWasDown = LPARAM(1) << 30;
constexpr UINT kAnswerLimitMs = 100;
constexpr char kEditorStoppedDrawing[] =
    "The instrument's editor stopped working while drawing and was closed.\n\nThe instrument "
    "plays on; its parameters are shown in a plain editor.";

// A text field keeps its keys: typing a name into an editor must not play notes. Text fields
// are edit and rich-edit controls and whatever answers as one (an edit control's subclass
// selects its text on focus); any other window, an instrument's editor among them, is not.
bool TextFieldHasFocus()
{
    HWND focus = GetFocus();
    char name[64] = {};
    if (focus == nullptr) {
        return false;
    }
    if (GetClassNameA(focus, name, sizeof name) != 0 && host::IsTextFieldClass(name)) {
        return true;
    }
    // A window of a hung thread (an editor's own) is no text field.
    DWORD_PTR code = 0;
    return SendMessageTimeoutA(focus, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs,
                               &code) != 0 &&
           (code & DLGC_HASSETSEL) != 0;
}

bool ModifierDown()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0 || (GetKeyState(VK_MENU) & 0x8000) != 0;
}
}  // namespace

void CTarvolinView::ReadKeyboardSetting()
{
    m_keyboardPlays = m_session.ReadSettings().keyboardPlays;
    CheckMenuItem(GetMenu(GetParentFrame()->GetSafeHwnd()), ID_KEYBOARD_NOTES,
                  MF_BYCOMMAND | (m_keyboardPlays ? MF_CHECKED : MF_UNCHECKED));
}

// Every message of the loop: first the editor's paint watch (an editor found faulting while
// drawing is closed and the user told). Then keys without Ctrl or Alt, for the frame's windows,
// while no text field has the focus: the music keys play (repeats swallowed), Esc silences
// everything. Everything else goes on to the accelerators and the windows as before.
bool CTarvolinView::PreTranslateMessage(MSG& msg)
{
    if (m_editor.WatchPaints(msg)) {
        ShowStop(kEditorStoppedDrawing);
        return true;
    }
    if ((msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) || !m_session.Started() ||
        ModifierDown() || TextFieldHasFocus()) {
        return false;
    }
    HWND frame = GetParentFrame()->GetSafeHwnd();
    if (msg.hwnd != frame && !IsChild(frame, msg.hwnd)) {
        return false;
    }
    const auto key = static_cast<unsigned>(msg.wParam);
    if (key == VK_ESCAPE) {
        if (msg.message == WM_KEYDOWN && (msg.lParam & kWasDown) == 0) {
            OnAllNotesOff(ID_ALL_NOTES_OFF);
        }
        return true;
    }
    if (!m_keyboardPlays || !host::CComputerKeyboard::IsMusicKey(key)) {
        return false;
    }
    if (msg.message == WM_KEYDOWN) {
        if ((msg.lParam & kWasDown) == 0) {
            m_session.PlayNotes(m_computerKeyboard.Press(key));
        }
    }
    else {
        m_session.PlayNotes(m_computerKeyboard.Release(key));
    }
    return true;
}

// Keys released while another window has the keyboard never reach this one.
void CTarvolinView::OnActivateFrame(bool active)
{
    if (!active) {
        m_session.PlayNotes(m_computerKeyboard.ReleaseAll());
    }
}

void CTarvolinView::OnKeyboardNotes(unsigned)
{
    if (m_keyboardPlays) {
        m_session.PlayNotes(m_computerKeyboard.ReleaseAll());
    }
    WriteKeyboardPlays(m_session.Settings(), !m_keyboardPlays);
    ReadKeyboardSetting();
}

void CTarvolinView::OnAllNotesOff(unsigned)
{
    m_session.PlayNotes(m_computerKeyboard.ReleaseAll());
    m_session.AllNotesOff();
}

// A setting changed there that needs the driver opened afresh comes back as the driver's
// request, answered by the usual re-open.
void CTarvolinView::OnAsioPanel(unsigned)
{
    m_session.ShowControlPanel();
}
