// The program menu: one "&Presets" item per plug-in program, two stepping commands on the menu
// bar, and the current program's name in the frame's caption.
#include "host/TarvolinView.h"

#include "host/HostRules.h"
#include "resource.h"
#include "toolkit/FrameWnd.h"

#include <algorithm>
#include <string>

namespace {
constexpr int kPresetsMenuPosition = 1;
constexpr UINT kPreviousPosition = 2;
constexpr UINT kNextPosition = 3;
constexpr char kPreviousText[] = " &<< ";
constexpr char kNextText[] = " &>> ";
constexpr std::int32_t kAllCategories = -1;
} // namespace

// Start-up must not grow with the program count: only the listed programs' names are asked
// for; the stepping commands reach the programs beyond the list.
void CTarvolinView::BuildProgramMenu()
{
    HWND frame = GetParentFrame()->GetSafeHwnd();
    HMENU bar = GetMenu(frame);
    HMENU presets = bar != nullptr ? GetSubMenu(bar, kPresetsMenuPosition) : nullptr;
    const std::int32_t count = m_plugin.NumPrograms();
    const std::int32_t listed = std::min<std::int32_t>(count, host::kListedPrograms);
    for (std::int32_t i = 0; i < listed && presets != nullptr; ++i) {
        char name[kVstProgramNameBytes] = {};
        m_plugin.GetProgramNameIndexed(name, kAllCategories, i);
        AppendMenuA(presets, MF_STRING, host::kFirstProgramCommand + static_cast<UINT>(i), name);
    }
    if (count > listed && presets != nullptr) {
        const std::string more = host::MoreProgramsText(count - listed);
        AppendMenuA(presets, MF_STRING | MF_GRAYED, host::kMoreProgramsCommand, more.c_str());
    }
    // A kept or opened state has chosen its program already.
    ShowProgram(m_session.CurrentProgram(), !m_session.StateLoaded());
    if (bar != nullptr) {
        InsertMenuA(bar, kPreviousPosition, MF_BYPOSITION | MF_STRING,
                    host::kPreviousProgramCommand, kPreviousText);
        InsertMenuA(bar, kNextPosition, MF_BYPOSITION | MF_STRING, host::kNextProgramCommand,
                    kNextText);
        DrawMenuBar(frame);
    }
}

// Selects `program` on the plug-in; the caption follows on the next paint.
void CTarvolinView::ShowProgram(int program, bool select)
{
    m_windowTitle = host::ProgramTitle(m_session.ShowProgram(program, select).c_str());
    m_editor.Refresh();
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

// A program chosen from the menu is selected here, before the normal table, for every listed
// program; the table then finds handlers only for the first 80.
bool CTarvolinView::OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode)
{
    // Only listed programs have menu commands: beyond them the numbers belong to other commands.
    const unsigned count = static_cast<unsigned>(
        std::clamp<std::int32_t>(m_plugin.NumPrograms(), 0, host::kListedPrograms));
    if (mode == toolkit::CmdMode::Execute && code == 0 && id >= host::kFirstProgramCommand &&
        id - host::kFirstProgramCommand < count && m_plugin.IsLoaded()) {
        ShowProgram(static_cast<int>(id - host::kFirstProgramCommand));
    }
    static const toolkit::CommandEntry<CTarvolinView> table[] = {
        {host::kPreviousProgramCommand, host::kPreviousProgramCommand,
         &CTarvolinView::OnPreviousProgram},
        {host::kNextProgramCommand, host::kNextProgramCommand, &CTarvolinView::OnNextProgram},
        {host::kFirstProgramCommand, host::kFirstProgramCommand + host::kSelectablePrograms - 1,
         &CTarvolinView::OnProgramCommand},
        {ID_KEYBOARD_NOTES, ID_KEYBOARD_NOTES, &CTarvolinView::OnKeyboardNotes},
        {ID_ALL_NOTES_OFF, ID_ALL_NOTES_OFF, &CTarvolinView::OnAllNotesOff},
    };
    if (id == ID_OPTIONS) {
        if (mode == toolkit::CmdMode::Execute) {
            OnOptions(id);
        }
        return true;
    }
    // Offered only while a driver is open.
    if (id == ID_ASIO_PANEL) {
        if (mode == toolkit::CmdMode::Execute && m_session.HasControlPanel()) {
            OnAsioPanel(id);
        }
        return m_session.HasControlPanel();
    }
    return toolkit::DispatchCommand(this, table, id, mode);
}

void CTarvolinView::OnPreviousProgram(unsigned)
{
    const int program = host::PreviousProgram(m_session.CurrentProgram());
    if (program >= 0) {
        ShowProgram(program);
    }
}

void CTarvolinView::OnNextProgram(unsigned)
{
    const int program = host::NextProgram(m_session.CurrentProgram(), m_plugin.NumPrograms());
    if (program >= 0) {
        ShowProgram(program);
    }
}

// The selection happened in OnCmdMsg; this entry only makes the first 80 items selectable.
void CTarvolinView::OnProgramCommand(unsigned) {}

void CTarvolinView::OnPaint()
{
    PAINTSTRUCT paint;
    BeginPaint(m_hWnd, &paint);
    EndPaint(m_hWnd, &paint);
    SetWindowTextA(GetParentFrame()->GetSafeHwnd(), m_windowTitle.c_str());
}

// A bank brings its own program names: the listed items follow them.
void CTarvolinView::RefreshProgramNames()
{
    HMENU bar = GetMenu(GetParentFrame()->GetSafeHwnd());
    const std::int32_t listed =
        std::min<std::int32_t>(m_plugin.NumPrograms(), host::kListedPrograms);
    for (std::int32_t i = 0; i < listed && bar != nullptr; ++i) {
        const UINT command = host::kFirstProgramCommand + static_cast<UINT>(i);
        char name[kVstProgramNameBytes] = {};
        m_plugin.GetProgramNameIndexed(name, kAllCategories, i);
        const UINT state = GetMenuState(bar, command, MF_BYCOMMAND);
        if (state != static_cast<UINT>(-1)) {
            ModifyMenuA(bar, command, MF_BYCOMMAND | MF_STRING | (state & (MF_GRAYED | MF_CHECKED)),
                        command, name);
        }
    }
}
