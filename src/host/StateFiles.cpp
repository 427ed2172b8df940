// The instrument's state as files: Save and Open through the document, the bank kept beside
// the settings between runs, and the file named on the command line.
#include "host/TarvolinView.h"

#include "host/HostRules.h"
#include "plugin/PluginState.h"
#include "plugin/PresetFile.h"
#include "resource.h"
#include "settings/DeviceSettings.h"
#include "toolkit/Document.h"
#include "toolkit/FileBytes.h"
#include "toolkit/FrameWnd.h"
#include "toolkit/TextRules.h"

#include <algorithm>
#include <exception>

namespace {
constexpr char kNotRunning[] = "no instrument is running";
constexpr std::int32_t kAllCategories = -1;
}  // namespace

// A switched-off instrument has no state to give or take (saving it would write an empty one
// over the kept bank).
bool CTarvolinView::InstrumentRunning() const
{
    return m_instrumentRunning && m_plugin.IsLoaded() && !m_plugin.Faulted();
}

std::vector<std::uint8_t> CTarvolinView::SaveInstrumentState(bool program, std::string& failure)
{
    if (!InstrumentRunning()) {
        failure = kNotRunning;
        return {};
    }
    if (failure = RefusalWhileStuck(); !failure.empty()) {
        return {};
    }
    const preset::Capture capture =
        program ? preset::CaptureProgram(m_plugin) : preset::CaptureBank(m_plugin);
    failure = capture.failure;
    return capture.Ok() ? preset::Write(capture.file) : std::vector<std::uint8_t>();
}

std::string CTarvolinView::LoadInstrumentState(const std::vector<std::uint8_t>& bytes)
{
    if (!InstrumentRunning()) {
        return kNotRunning;
    }
    if (const std::string refusal = RefusalWhileStuck(); !refusal.empty()) {
        return refusal;
    }
    const preset::ReadResult read = preset::Read(bytes.data(), bytes.size());
    if (read.error != preset::Error::None) {
        return preset::Describe(read.error);
    }
    const preset::ApplyError applied = preset::Apply(m_plugin, read.file);
    if (applied != preset::ApplyError::None) {
        return preset::Describe(applied);
    }
    // Notes held across the change would otherwise hang in the new sound.
    m_plugin.RequestAllNotesOff();
    m_stateLoaded = true;
    RefreshProgramNames();
    const auto program = static_cast<std::int32_t>(m_plugin.GetProgram());
    ShowProgram(program >= 0 && program < m_plugin.NumPrograms() ? program : 0, false);
    return {};
}

// A missing bank is the first run; any other failure leaves the file alone for the user.
void CTarvolinView::LoadAutosave()
{
    char module[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !ReadDeviceSettings(m_settings).keepState) {
        return;
    }
    const std::string path = host::AutosaveBankPath(m_directoryPath, module);
    std::vector<std::uint8_t> bytes;
    const toolkit::ReadOutcome read = toolkit::ReadFileBytes(path, preset::kMaxFileBytes, bytes);
    if (read == toolkit::ReadOutcome::CannotRead &&
        GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        m_autosavePath = path;
        return;
    }
    const std::string reason =
        read == toolkit::ReadOutcome::Read
            ? LoadInstrumentState(bytes)
            : std::string(read == toolkit::ReadOutcome::TooLarge ? "the file is too large"
                                                                 : "the file cannot be read");
    if (reason.empty()) {
        m_autosavePath = path;
        return;
    }
    GetParentFrame()->SetMessageText(toolkit::FileTitleOf(path) +
                                     " was not loaded and is kept as it is: " + reason);
}

// The document accepted the name before the instrument ran (see the document); it is read now,
// and a file that cannot be applied leaves an untitled document.
void CTarvolinView::OpenFileNamedAtStart()
{
    toolkit::CDocument* document = GetDocument();
    if (document == nullptr || document->GetPathName().empty()) {
        return;
    }
    if (!document->OnOpenDocument(document->GetPathName())) {
        document->OnNewDocument();
    }
}

void CTarvolinView::SaveAutosave() noexcept
{
    if (m_autosavePath.empty() || !InstrumentRunning()) {
        return;
    }
    try {
        // A state that cannot be saved whole leaves the kept bank as it was.
        std::string failure;
        const std::vector<std::uint8_t> bytes = SaveInstrumentState(false, failure);
        if (bytes.empty()) {
            if (toolkit::CFrameWnd* frame = GetParentFrame()) {
                frame->SetMessageText(toolkit::FileTitleOf(m_autosavePath) +
                                      " was not saved and is kept as it is: " + failure);
            }
        } else {
            toolkit::WriteFileReplacing(m_autosavePath, bytes.data(), bytes.size());
        }
    }
    catch (const std::exception&) {
        // Out of memory at exit: the previous bank stays as it was.
    }
    m_autosavePath.clear();
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
