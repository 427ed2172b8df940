#include "ScriptedMidiRun.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fakemidi {
namespace {

// How often the player looks at the port while it waits: a test tool, not a timing source.
constexpr DWORD kPollMs = 1;
// How long one part of a system-exclusive message waits for the receiver to lend a buffer.
constexpr DWORD kLendWaitMs = 1000;

} // namespace

CScriptedMidiRun::CScriptedMidiRun(MidiScript script, std::string playsFile)
    : m_script(std::move(script)), m_playsFile(std::move(playsFile)), m_service(m_script.ports)
{
    m_player = std::thread([this] { Run(); });
}

CScriptedMidiRun::~CScriptedMidiRun()
{
    m_quit.store(true);
    m_player.join();
}

void CScriptedMidiRun::Run()
{
    unsigned played = 0; // the start that was played last
    while (!m_quit.load()) {
        const unsigned start = m_service.StartCount();
        if (start == played || !m_service.IsStarted()) {
            Sleep(kPollMs);
            continue;
        }
        played = start;
        if (PlayOnce()) {
            // Reported once the receiver has taken every event, and on file before it counts.
            m_service.WaitForCallbacks();
            if (!m_playsFile.empty())
                std::ofstream(m_playsFile, std::ios::trunc) << m_completed.load() + 1 << '\n';
            m_completed.fetch_add(1);
        }
    }
}

bool CScriptedMidiRun::PlayOnce()
{
    const DWORD start = GetTickCount();
    for (const ScriptEvent& event : m_script.events) {
        if (!WaitUntil(start, event.atMs))
            return false;
        if (!Send(event, GetTickCount() - start))
            return false;
    }
    return true;
}

bool CScriptedMidiRun::WaitUntil(DWORD startTick, std::uint32_t atMs)
{
    while (GetTickCount() - startTick < atMs) {
        if (m_quit.load() || !m_service.IsStarted())
            return false;
        Sleep(kPollMs);
    }
    return !m_quit.load() && m_service.IsStarted();
}

bool CScriptedMidiRun::Send(const ScriptEvent& event, DWORD timestamp)
{
    if (event.kind == ScriptEvent::Kind::ShortMessage)
        return m_service.SendShortMessage(event.ShortWord(), timestamp);
    // A message longer than the lent buffer arrives in parts, one per lent buffer.
    std::size_t sent = 0;
    while (sent < event.bytes.size()) {
        const DWORD begin = GetTickCount();
        DWORD length = 0;
        while ((length = m_service.OldestHeldLength()) == 0) {
            if (m_quit.load() || !m_service.IsStarted() || GetTickCount() - begin > kLendWaitMs)
                return false;
            Sleep(kPollMs);
        }
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(length, event.bytes.size() - sent));
        if (!m_service.ReturnBuffer(event.bytes.data() + sent, part, timestamp))
            return false;
        sent += part;
    }
    return true;
}

std::unique_ptr<CScriptedMidiRun> InstallScriptFile(const std::string& path, std::string& error,
                                                    const std::string& playsFile)
{
    MidiScript script;
    std::ifstream file(path);
    std::istringstream nothing;
    std::istream& in = file ? static_cast<std::istream&>(file) : nothing;
    if (!ParseMidiScript(in, script, error))
        return nullptr;
    return std::make_unique<CScriptedMidiRun>(std::move(script), playsFile);
}

} // namespace fakemidi
