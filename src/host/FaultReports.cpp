// What the user sees of a faulting or stuck instrument or driver: one message per fault from
// this thread (never from the audio thread), the status bar while the audio is stuck, and a
// close that does not wait on a stuck component.
#include "host/TarvolinView.h"

#include "base/FaultGuard.h"
#include "toolkit/FrameWnd.h"

#include <string>

namespace {
constexpr UINT_PTR kHealthTimer = 2;
constexpr UINT kHealthMs = 250;
// No block finished for this long while the stream runs: the status bar says the audio is stuck.
constexpr unsigned long long kStuckMs = 2000;
constexpr std::size_t kFaultTextBytes = 256;
constexpr char kAsioFailed[] = "ASIO failed";
constexpr char kReady[] = "Ready";
constexpr char kNotAnswering[] = "the instrument is not answering";

std::string Describe(const PluginFault& fault)
{
    char text[kFaultTextBytes] = {};
    DescribeFault(fault.call, fault.record, text, sizeof text);
    return text;
}
}  // namespace

void CTarvolinView::StartHealthTimer()
{
    m_healthTicks.Start(m_hWnd, kHealthTimer, kHealthMs);
}

bool CTarvolinView::IsHealthTimer(WPARAM timer)
{
    return timer == kHealthTimer;
}

void CTarvolinView::StopHealthTimer()
{
    m_healthTicks.Stop();
}

void CTarvolinView::CheckHealth()
{
    RestoreLastResortFaultHandler();
    // Values the plug-in changed itself show at once, ahead of the editor's own refresh.
    if (m_genericEditor && m_plugin.Automations() != m_automationsSeen) {
        m_automationsSeen = m_plugin.Automations();
        m_genericEditor->Refresh();
    }
    ReportInstrumentFault();
    ReportDriverFault();
    WatchAudio();
}

// The instrument is switched off already (it is never called again and renders silence); the
// editor's idle calls stop with it.
void CTarvolinView::ReportInstrumentFault()
{
    const PluginFault* fault = m_plugin.Fault();
    if (fault == nullptr || m_instrumentFaultShown) {
        return;
    }
    m_instrumentFaultShown = true;
    m_editorIdleRunning = false;
    ShowStopMessage("The instrument stopped working and was switched off.\n\n" + Describe(*fault) +
                    "\n\nZumbrel keeps running without it: start Zumbrel again to play the "
                    "instrument. Your settings are kept.");
}

// A driver that faulted is out of the call layer; the stream is closed as for a failed driver,
// and Options can choose another.
void CTarvolinView::ReportDriverFault()
{
    if (m_driverFaultShown) {
        return;
    }
    const std::string text = m_asioStream.driverFaultText();
    if (text.empty()) {
        return;
    }
    m_driverFaultShown = true;
    m_asioStream.closeStream();
    ShowStopMessage(std::string(kAsioFailed) + "\n\n" + text);
}

// Blocks that stop finishing while the stream runs: the instrument is inside one and does not
// come back, or the driver no longer calls. A stall that ends clears the note.
void CTarvolinView::WatchAudio()
{
    const unsigned long long now = GetTickCount64();
    const std::uint32_t blocks = m_asioStream.completedBlocks();
    if (!m_asioStream.isRunning() || blocks != m_blocksSeen) {
        m_blocksSeen = blocks;
        m_blocksMovedAt = now;
        if (m_audioStuck) {
            m_audioStuck = false;
            GetParentFrame()->SetMessageText(kReady);
        }
        return;
    }
    if (now - m_blocksMovedAt < kStuckMs) {
        return;
    }
    m_audioStuck = true;
    const std::string seconds = std::to_string((now - m_blocksMovedAt) / 1000);
    GetParentFrame()->SetMessageText(
        m_asioStream.blockInProgress()
            ? "The instrument has not answered for " + seconds + " s: no sound until it does"
            : "The audio driver has not called for " + seconds + " s: no sound until it does");
}

// A fault while the instrument is being opened ends the program, as a missing one does.
void CTarvolinView::ReportStartupFault()
{
    ShowStopMessage("The instrument stopped working while it was being opened.\n\n" +
                    Describe(*m_plugin.Fault()) + "\n\nZumbrel closes.");
    GetParentFrame()->CancelShow();
    PostMessageA(GetParent(m_hWnd), WM_CLOSE, 0, 0);
}

void CTarvolinView::ReportEditorFault()
{
    ShowStopMessage("The instrument's editor stopped working while it was being opened.\n\n" +
                    Describe(*m_plugin.EditorFault()) +
                    "\n\nZumbrel plays the instrument without its editor.");
}

bool CTarvolinView::BrokenComponentKept() const
{
    return m_plugin.Faulted() || m_audioStuck || !m_asioStream.driverFaultText().empty();
}

// A broken instrument or driver stays in the process (unloading it could run its code again):
// the process ends here, with the settings already written, rather than in the library
// unloading of a normal exit.
void CTarvolinView::EndWithBrokenComponents() noexcept
{
    TerminateProcess(GetCurrentProcess(), 0);
}

std::string CTarvolinView::RefusalWhileStuck() const
{
    return m_audioStuck ? kNotAnswering : std::string();
}
