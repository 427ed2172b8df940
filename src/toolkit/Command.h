// Commands and their tables.
//
// A command is a 16-bit identifier from a menu item, an accelerator key or a control. Each class
// that handles commands lists them in one short static table of CommandEntry rows and answers
// OnCmdMsg by looking its identifier up there (DispatchCommand). The route a command takes from
// the frame through the view, the document and the application is written out in one place:
// CFrameWnd::RouteCommand in FrameWnd.cpp.
#pragma once

#include <cstddef>

namespace toolkit {

// Execute runs the handler; Query only asks whether a handler exists (used to enable menu items).
enum class CmdMode { Execute, Query };

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // Handles the command `id` with notification `code` (0 menu, 1 accelerator, else a control's
    // notification). Returns true when this object has a handler for it.
    virtual bool OnCmdMsg(unsigned id, unsigned code, CmdMode mode) { (void)id; (void)code; (void)mode; return false; }
};

// One row of a command table: a single identifier or a range, bound to a member handler.
template <class T>
struct CommandEntry {
    unsigned first;
    unsigned last;
    void (T::*handler)(unsigned id);
};

// Looks `id` up in `table`; runs the handler in Execute mode. True when a row matched.
template <class T, std::size_t N>
bool DispatchCommand(T* self, const CommandEntry<T> (&table)[N], unsigned id, CmdMode mode)
{
    for (const CommandEntry<T>& entry : table) {
        if (id < entry.first || id > entry.last) {
            continue;
        }
        if (mode == CmdMode::Execute) {
            (self->*entry.handler)(id);
        }
        return true;
    }
    return false;
}

} // namespace toolkit
