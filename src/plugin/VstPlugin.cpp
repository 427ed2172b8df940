#include "plugin/VstPlugin.h"

#include "base/RenderCallback.h"
#include "base/DenormalGuard.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>
#include <type_traits>

static_assert(std::is_same<decltype(&CVstPlugin::RenderCallback), ::RenderCallback>::value,
              "CVstPlugin::RenderCallback is the stream's render callback");

namespace {

// Room offered to the plug-in for a program name: more than it should ever write.
constexpr std::size_t kNameScratchBytes = 1024;

// The names a fault report gives the dispatcher's opcodes.
struct OpcodeName {
    std::int32_t opcode;
    const char* name;
};

constexpr OpcodeName kOpcodeNames[] = {
    {effOpen, "effOpen"},
    {effClose, "effClose"},
    {effSetProgram, "effSetProgram"},
    {effGetProgram, "effGetProgram"},
    {effSetProgramName, "effSetProgramName"},
    {effGetProgramName, "effGetProgramName"},
    {effGetParamLabel, "effGetParamLabel"},
    {effGetParamDisplay, "effGetParamDisplay"},
    {effGetParamName, "effGetParamName"},
    {effSetSampleRate, "effSetSampleRate"},
    {effSetBlockSize, "effSetBlockSize"},
    {effMainsChanged, "effMainsChanged"},
    {effEditGetRect, "effEditGetRect"},
    {effEditOpen, "effEditOpen"},
    {effEditClose, "effEditClose"},
    {effEditIdle, "effEditIdle"},
    {effGetChunk, "effGetChunk"},
    {effSetChunk, "effSetChunk"},
    {effProcessEvents, "effProcessEvents"},
    {effGetProgramNameIndexed, "effGetProgramNameIndexed"},
    {effGetEffectName, "effGetEffectName"},
    {effGetProductString, "effGetProductString"},
};

const char* NameOf(std::int32_t opcode)
{
    for (const OpcodeName& entry : kOpcodeNames) {
        if (entry.opcode == opcode)
            return entry.name;
    }
    return "the dispatcher";
}

}  // namespace

class CVstPlugin::RenderScope {
public:
    explicit RenderScope(std::atomic<std::int32_t>& renders) : m_renders(renders)
    {
        m_renders.fetch_add(1);
    }
    ~RenderScope() { m_renders.fetch_sub(1); }
    RenderScope(const RenderScope&) = delete;
    RenderScope& operator=(const RenderScope&) = delete;

private:
    std::atomic<std::int32_t>& m_renders;
};

CVstPlugin::CVstPlugin() = default;

CVstPlugin::~CVstPlugin()
{
    Unload();
}

// ---- Guarded calls --------------------------------------------------------------------------

template <typename Call>
bool CVstPlugin::CallPlugin(const char* name, Call& call)
{
    if (Faulted())
        return false;
    FaultRecord record;
    if (RunGuardedCall(call, record))
        return true;
    SwitchOff(name, record);
    return false;
}

// The first fault is kept; a second one on another thread at the same moment only switches
// the plug-in off. No allocation and no system call: this may run on the audio thread.
void CVstPlugin::SwitchOff(const char* name, const FaultRecord& record)
{
    std::int32_t expected = kNoFault;
    if (!m_faultState.compare_exchange_strong(expected, kFaultBeingWritten))
        return;
    m_fault.call = name;
    m_fault.record = record;
    m_faultState.store(kFaultPublished, std::memory_order_release);
}

VstIntPtr CVstPlugin::DispatchTo(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                 VstIntPtr value, void* ptr, float opt)
{
    VstIntPtr result = 0;
    auto call = [&] { result = effect->dispatcher(effect, opcode, index, value, ptr, opt); };
    CallPlugin(NameOf(opcode), call);
    return result;
}

// ---- Loading --------------------------------------------------------------------------------

bool CVstPlugin::IsUsable(const AEffect* effect)
{
    if (effect == nullptr || effect->magic != kEffectMagic || effect->dispatcher == nullptr)
        return false;
    if (effect->numInputs < 0 || effect->numInputs > kMaxChannels || effect->numOutputs < 0
        || effect->numOutputs > kMaxChannels)
        return false;
    // Something to render with; when the flags point at a missing entry, the other serves.
    return effect->processReplacing != nullptr || effect->process != nullptr;
}

bool CVstPlugin::Load(const char* path)
{
    Unload();
    m_faultState.store(kNoFault);  // the last plug-in's faults are history
    m_editorFaulted = false;
    m_stuck = false;
    // An empty name would give the POSIX loader the program itself.
    if (path == nullptr || *path == '\0')
        return false;
    PluginModule library = OpenPluginLibrary(path);
    if (library == nullptr)
        return false;
    VstPluginEntry entry = FindPluginEntry(library, "VSTPluginMain");
    if (entry == nullptr)
        entry = FindPluginEntry(library, "main");
    AEffect* effect = nullptr;
    auto create = [&] { effect = entry(&CVstPlugin::HostCallback); };
    if (entry != nullptr && !CallPlugin("the entry point", create))
        return false;  // the library stays: see Unload
    if (!IsUsable(effect)) {
        // A record with the right magic was created by the plug-in: let it destroy itself.
        if (effect != nullptr && effect->magic == kEffectMagic && effect->dispatcher != nullptr)
            DispatchTo(effect, effClose);
        if (!Faulted())
            ClosePluginLibrary(library);
        return false;
    }
    m_library = library;
    m_entry = entry;
    m_effect = effect;
    CopyProperties(*effect);
    effect->user = this;
    AllocateBuffers();
    m_loaded.store(1);
    return true;
}

void CVstPlugin::CopyProperties(const AEffect& effect)
{
    m_numPrograms = effect.numPrograms;
    m_numParams = effect.numParams;
    m_declaredInputs = effect.numInputs;
    m_numInputs = std::min(effect.numInputs, kMaxStreamInputs);
    m_numOutputs = effect.numOutputs;
    m_uniqueID = effect.uniqueID;
    m_version = effect.version;
    const auto bit = [&effect](std::int32_t flag) {
        return static_cast<std::uint8_t>((effect.flags & flag) != 0);
    };
    m_hasEditor = bit(effFlagsHasEditor);
    m_hasClip = bit(effFlagsHasClip);
    m_hasVu = bit(effFlagsHasVu);
    m_canMono = bit(effFlagsCanMono);
    m_canReplacing = bit(effFlagsCanReplacing);
    m_programChunks = bit(effFlagsProgramChunks);
    m_isSynth = bit(effFlagsIsSynth);
}

void CVstPlugin::ClearProperties()
{
    m_numPrograms = m_numParams = m_numInputs = m_numOutputs = 0;
    m_uniqueID = m_version = m_declaredInputs = 0;
    m_hasEditor = m_hasClip = m_hasVu = m_canMono = 0;
    m_canReplacing = m_programChunks = m_isSynth = 0;
}

void CVstPlugin::AllocateBuffers()
{
    // One zeroed buffer per stream input and per output, and one of silence for the declared
    // inputs beyond the stream's: a plug-in reads every input it declares.
    const std::int32_t buffers = m_numInputs + m_numOutputs + 1;
    m_bufferStore.assign(static_cast<std::size_t>(buffers) * kBufferFrames, 0.0f);
    float* next = m_bufferStore.data();
    for (std::int32_t i = 0; i < m_numInputs; ++i, next += kBufferFrames)
        m_inputs[i] = next;
    for (std::int32_t i = 0; i < m_numOutputs; ++i, next += kBufferFrames)
        m_outputs[i] = next;
    m_silence = next;
    for (std::int32_t i = m_numInputs; i < m_declaredInputs; ++i)
        m_inputs[i] = m_silence;
}

// The buffers of a plug-in that faulted stay allocated for the rest of the run: its own
// threads may still write to them. Deliberately never freed.
void CVstPlugin::AbandonBuffers()
{
    new std::vector<float>(std::move(m_bufferStore));
    ReleaseBuffers();
}

void CVstPlugin::ReleaseBuffers()
{
    std::fill(std::begin(m_inputs), std::end(m_inputs), nullptr);
    std::fill(std::begin(m_outputs), std::end(m_outputs), nullptr);
    m_silence = nullptr;
    std::vector<float>().swap(m_bufferStore);
}

void CVstPlugin::Unload()
{
    if (m_loaded.load() == 0)
        return;
    // From here no render enters the plug-in; wait for one already inside to leave. One that
    // does not leave in time is stuck for good: the plug-in is then left as a faulted one is,
    // never called again and with its buffers and library in place.
    m_loaded.store(0);
    const auto deadline = std::chrono::steady_clock::now() + kRenderLeaveLimit;
    while (m_renders.load() != 0 && !m_stuck) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_stuck = std::chrono::steady_clock::now() > deadline;
    }
    // The closing sequence every plug-in expects before its library goes away; a plug-in
    // that faulted, before or during it, is not called (Dispatch) and keeps its library.
    const bool keep = Faulted() || m_stuck;
    if (!m_stuck) {
        if (m_editorOpen)
            Dispatch(effEditClose);
        if (m_mainsOn)
            Dispatch(effMainsChanged, 0, 0);
        Dispatch(effClose);
    }
    m_editorOpen = m_mainsOn = false;
    m_toldRate = 0.0f;
    m_toldBlockFrames = 0;
    m_effect = nullptr;
    m_entry = nullptr;
    if (keep || Faulted())
        AbandonBuffers();
    else
        ReleaseBuffers();
    ClearProperties();
    if (!keep && !Faulted())
        ClosePluginLibrary(m_library);
    m_library = nullptr;
}

// ---- Dispatcher calls -----------------------------------------------------------------------

VstIntPtr CVstPlugin::Dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                               float opt)
{
    AEffect* effect = m_effect;
    return effect != nullptr ? DispatchTo(effect, opcode, index, value, ptr, opt) : 0;
}

VstIntPtr CVstPlugin::Open()
{
    return Dispatch(effOpen);
}

VstIntPtr CVstPlugin::SetSampleRate(float rate)
{
    m_toldRate = rate;
    m_transport.SetSampleRate(rate);
    return Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

VstIntPtr CVstPlugin::SetBlockSize(std::int32_t frames)
{
    m_toldBlockFrames = frames;
    return Dispatch(effSetBlockSize, 0, frames);
}

void CVstPlugin::SetStreamFormat(double rate, std::int32_t blockFrames)
{
    const auto told = static_cast<float>(rate);  // the plug-in interface's type for a rate
    // The block size is the most a render asks for: smaller blocks need no new one.
    if (m_effect == nullptr || (told == m_toldRate && blockFrames <= m_toldBlockFrames))
        return;
    const RenderPause pause(*this);
    const bool switchedOn = m_mainsOn;
    if (switchedOn)
        MainsChanged(0);
    SetSampleRate(told);
    SetBlockSize(blockFrames);
    if (switchedOn)
        MainsChanged(1);
}

VstIntPtr CVstPlugin::MainsChanged(std::int32_t on)
{
    const auto value = static_cast<std::uint8_t>(on);
    if (m_effect != nullptr)
        m_mainsOn = value != 0;
    return Dispatch(effMainsChanged, 0, value);
}

// A fault in an editor call gives up the editor alone: it is never called again.
bool CVstPlugin::CallEditor(AEffect* effect, std::int32_t opcode, void* ptr, VstIntPtr& result)
{
    auto call = [&] { result = effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f); };
    FaultRecord record;
    if (RunGuardedCall(call, record))
        return true;
    m_editorFault.call = NameOf(opcode);
    m_editorFault.record = record;
    m_editorFaulted = true;
    return false;
}

VstIntPtr CVstPlugin::EditOpen(void* window)
{
    AEffect* effect = m_effect;
    VstIntPtr result = 0;
    if (effect == nullptr || Faulted() || m_editorFaulted ||
        !CallEditor(effect, effEditOpen, window, result))
        return 0;
    m_editorOpen = true;
    return result;
}

void CVstPlugin::EditClose()
{
    AEffect* effect = m_effect;
    if (effect == nullptr || !m_editorOpen || Faulted() || m_editorFaulted)
        return;
    m_editorOpen = false;
    VstIntPtr ignored = 0;
    CallEditor(effect, effEditClose, nullptr, ignored);
}

VstIntPtr CVstPlugin::EditGetRect(ERect** rect)
{
    return m_editorFaulted ? 0 : Dispatch(effEditGetRect, 0, 0, rect);
}

VstIntPtr CVstPlugin::EditIdle()
{
    return m_editorFaulted ? 0 : Dispatch(effEditIdle);
}

VstIntPtr CVstPlugin::SetProgram(std::int32_t program)
{
    return Dispatch(effSetProgram, 0, program);
}

VstIntPtr CVstPlugin::GetProgram()
{
    return Dispatch(effGetProgram);
}

VstIntPtr CVstPlugin::SetProgramName(const char* name)
{
    char copy[kVstProgramNameBytes] = {};
    std::strncpy(copy, name != nullptr ? name : "", sizeof copy - 1);
    return Dispatch(effSetProgramName, 0, 0, copy);
}

std::int32_t CVstPlugin::GetChunk(void** data, bool program)
{
    void* chunk = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, program ? 1 : 0, 0, &chunk);
    const bool usable = chunk != nullptr && size > 0 && size <= INT32_MAX;
    *data = usable ? chunk : nullptr;
    return usable ? static_cast<std::int32_t>(size) : 0;
}

VstIntPtr CVstPlugin::SetChunk(const void* data, std::int32_t size, bool program)
{
    return Dispatch(effSetChunk, program ? 1 : 0, size, const_cast<void*>(data));
}

float CVstPlugin::GetParameter(std::int32_t index)
{
    AEffect* effect = m_effect;
    if (effect == nullptr || index < 0 || index >= m_numParams || effect->getParameter == nullptr)
        return 0.0f;
    float value = 0.0f;
    auto call = [&] { value = effect->getParameter(effect, index); };
    CallPlugin("getParameter", call);
    return value;
}

void CVstPlugin::SetParameter(std::int32_t index, float value)
{
    AEffect* effect = m_effect;
    if (effect == nullptr || index < 0 || index >= m_numParams || effect->setParameter == nullptr)
        return;
    auto call = [&] { effect->setParameter(effect, index, value); };
    CallPlugin("setParameter", call);
}

// Counted in before the renders are watched, as Unload does: a render that started before
// sees the pause or is waited for.
CVstPlugin::RenderPause::RenderPause(CVstPlugin& plugin) : m_plugin(plugin)
{
    m_plugin.m_pauses.fetch_add(1);
    while (m_plugin.m_renders.load() != 0)
        std::this_thread::yield();
}

CVstPlugin::RenderPause::~RenderPause()
{
    m_plugin.m_pauses.fetch_sub(1);
}

namespace {

// The name the plug-in wrote into `scratch`, cut to fit and always terminated.
void CopyName(char* name, const char* scratch)
{
    const std::size_t length = strnlen(scratch, kVstProgramNameBytes - 1);
    std::memcpy(name, scratch, length);
    name[length] = '\0';
}

}  // namespace

VstIntPtr CVstPlugin::GetProgramName(char* name)
{
    char scratch[kNameScratchBytes] = {};
    const VstIntPtr result = Dispatch(effGetProgramName, 0, 0, scratch);
    if (name != nullptr)
        CopyName(name, scratch);
    return result;
}

// Plug-ins write past the nominal 8, 24 or 64 characters of these texts: each is read into a
// large zeroed buffer and cut to kVstProgramNameBytes - 1.
std::string CVstPlugin::GetText(std::int32_t opcode, std::int32_t index)
{
    char scratch[kNameScratchBytes] = {};
    Dispatch(opcode, index, 0, scratch);
    char text[kVstProgramNameBytes] = {};
    CopyName(text, scratch);
    return text;
}

VstIntPtr CVstPlugin::GetProgramNameIndexed(char* name, std::int32_t category, std::int32_t index)
{
    char scratch[kNameScratchBytes] = {};
    const VstIntPtr result = Dispatch(effGetProgramNameIndexed, index, category, scratch);
    if (name != nullptr)
        CopyName(name, scratch);
    return result;
}

std::int32_t CVstPlugin::SetTempo(float beatsPerMinute)
{
    m_transport.SetTempo(beatsPerMinute);
    return 0;
}

// ---- Host callback --------------------------------------------------------------------------

VstIntPtr VST_CALL CVstPlugin::HostCallback(AEffect* effect, std::int32_t opcode,
                                            std::int32_t index, VstIntPtr value, void* ptr, float)
{
    auto* self = effect != nullptr ? static_cast<CVstPlugin*>(effect->user) : nullptr;
    switch (opcode) {
    case audioMasterVersion:
        return kHostVstVersion;
    case audioMasterIdle:
        return 1;
    case audioMasterGetTime:
        // Asked during the entry call the record carries no host object yet: answer 0.
        return self != nullptr ? reinterpret_cast<VstIntPtr>(self->m_transport.Current()) : 0;
    case audioMasterSizeWindow: {
        const bool fits = value >= INT32_MIN && value <= INT32_MAX;
        return self != nullptr && self->m_sizeHandler != nullptr && fits &&
                       self->m_sizeHandler(self->m_sizeContext, index, static_cast<std::int32_t>(value))
                   ? 1
                   : 0;
    }
    case audioMasterCanDo:
        return ptr != nullptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    case audioMasterAutomate:
        // Counted only: any thread may report, and what shows the values reads them itself.
        if (self != nullptr)
            self->m_automations.fetch_add(1, std::memory_order_relaxed);
        return 0;
    default:
        return 0;
    }
}

// ---- Events ---------------------------------------------------------------------------------

std::uint32_t CVstPlugin::AddMidiEvent(std::uint8_t status, std::uint8_t data1,
                                       std::uint8_t data2, float rate, std::uint32_t timestamp)
{
    if (m_loaded.load() == 0 || Faulted())
        return 0;
    return m_events.AddMidiEvent(status, data1, data2, rate, timestamp).count;
}

void CVstPlugin::AddSysExEvent(const void* data, std::int32_t length, float rate,
                               std::uint32_t timestamp)
{
    if (m_loaded.load() != 0 && !Faulted())
        m_events.AddSysExEvent(data, length, rate, timestamp);
}

bool CVstPlugin::SendEvents(std::int32_t frames)
{
    RenderScope scope(m_renders);
    return HandEventsOver(frames);
}

bool CVstPlugin::HandEventsOver(std::int32_t frames)
{
    // A plug-in that is no synth is never given events: its list fills up and later events
    // are dropped.
    if (m_loaded.load() == 0 || m_isSynth == 0 || Faulted())
        return false;
    VstEventsBlock* events = m_events.HandOver(frames);
    if (events == nullptr)
        return false;
    Dispatch(effProcessEvents, 0, 0, events);
    return true;
}

// ---- Rendering ------------------------------------------------------------------------------

std::int32_t CVstPlugin::Process(float** inputs, float** outputs, std::int32_t frames,
                                 std::int32_t inputChannels, std::int32_t outputChannels)
{
    RenderScope scope(m_renders);
    return Render(inputs, outputs, frames, inputChannels, outputChannels, false);
}

std::int32_t CVstPlugin::ProcessReplacing(float** inputs, float** outputs, std::int32_t frames,
                                          std::int32_t inputChannels,
                                          std::int32_t outputChannels)
{
    RenderScope scope(m_renders);
    return Render(inputs, outputs, frames, inputChannels, outputChannels, true);
}

std::int32_t CVstPlugin::Render(float** inputs, float** outputs, std::int32_t frames,
                                std::int32_t inputChannels, std::int32_t outputChannels,
                                bool replacing)
{
    if (m_loaded.load() == 0 || frames <= 0)
        return 0;
    // The block's time information is complete before the plug-in can ask for it.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    m_transport.BeginBlock(frames, static_cast<double>(std::chrono::nanoseconds(now).count()));
    if (inputs == nullptr)
        inputChannels = 0;
    if (outputs == nullptr)
        outputChannels = 0;
    const auto silence = [&] {
        for (std::int32_t c = 0; c < std::min(outputChannels, kStreamOutputs); ++c) {
            if (outputs[c] != nullptr)
                std::memset(outputs[c], 0, static_cast<std::size_t>(frames) * sizeof(float));
        }
        return 0;
    };
    // The state is being loaded, or the plug-in is switched off: silence.
    if (m_pauses.load() != 0 || Faulted())
        return silence();
    // A block that fits, of a plug-in that reads and writes exactly the stream's first arrays,
    // is rendered straight into them: no copy in and none out.
    if (frames <= kBufferFrames && RendersInPlace(inputs, outputs, inputChannels, outputChannels)) {
        CallProcess(m_numInputs > 0 ? inputs : m_inputs, outputs, frames, replacing);
        return Faulted() ? silence() : frames;
    }
    // The plug-in's buffers hold kBufferFrames: a longer block is rendered piece by piece.
    for (std::int32_t offset = 0; offset < frames; offset += kBufferFrames) {
        const std::int32_t piece = std::min(kBufferFrames, frames - offset);
        RenderPiece(inputs, outputs, offset, piece, inputChannels, outputChannels, replacing);
    }
    // A fault during the block: none of it is played.
    return Faulted() ? silence() : frames;
}

void CVstPlugin::RenderPiece(float** inputs, float** outputs, std::int32_t offset,
                             std::int32_t frames, std::int32_t inputChannels,
                             std::int32_t outputChannels, bool replacing)
{
    const auto bytes = static_cast<std::size_t>(frames) * sizeof(float);
    for (std::int32_t j = 0; j < m_numInputs; ++j) {
        const bool present = j < inputChannels && inputs[j] != nullptr;
        if (present)
            std::memcpy(m_inputs[j], inputs[j] + offset, bytes);
        else
            std::memset(m_inputs[j], 0, bytes);
    }
    if (m_declaredInputs > m_numInputs)
        std::memset(m_silence, 0, bytes);  // in case the plug-in wrote into it
    if (!CallProcess(m_inputs, m_outputs, frames, replacing))
        return;

    for (std::int32_t c = 0; c < std::min(outputChannels, kStreamOutputs); ++c) {
        if (outputs[c] == nullptr)
            continue;
        // A mono plug-in feeds both channels; one without outputs gives silence.
        if (m_numOutputs == 0)
            std::memset(outputs[c] + offset, 0, bytes);
        else
            std::memcpy(outputs[c] + offset, m_outputs[std::min(c, m_numOutputs - 1)], bytes);
    }
}

// Every input the plug-in reads is one of the stream's, it has exactly the two outputs the
// stream plays, and no array is both an input and an output.
bool CVstPlugin::RendersInPlace(float** inputs, float** outputs, std::int32_t inputChannels,
                                std::int32_t outputChannels) const
{
    if (m_numOutputs != kStreamOutputs || outputChannels < kStreamOutputs ||
        m_declaredInputs != m_numInputs || inputChannels < m_numInputs)
        return false;
    if (outputs[0] == nullptr || outputs[1] == nullptr || outputs[0] == outputs[1])
        return false;
    for (std::int32_t j = 0; j < m_numInputs; ++j) {
        if (inputs[j] == nullptr || inputs[j] == outputs[0] || inputs[j] == outputs[1])
            return false;
    }
    return true;
}

// Hands the events over and calls the plug-in's entry on these arrays; false when it did not
// return.
bool CVstPlugin::CallProcess(float** inputs, float** outputs, std::int32_t frames, bool replacing)
{
    HandEventsOver(frames);
    // Load made sure the plug-in's preferred entry exists; asked for the other one, which a
    // plug-in may leave null, the existing one serves.
    AEffect* effect = m_effect;
    const bool accumulating =
        !(replacing && effect->processReplacing != nullptr) && effect->process != nullptr;
    // The accumulating entry adds to what the buffers hold: start every block from silence,
    // or the previous block would sound again.
    if (accumulating) {
        for (std::int32_t j = 0; j < m_numOutputs; ++j)
            std::memset(outputs[j], 0, static_cast<std::size_t>(frames) * sizeof(float));
    }
    const VstProcess entry = accumulating ? effect->process : effect->processReplacing;
    auto call = [&] { entry(effect, inputs, outputs, frames); };
    return CallPlugin(accumulating ? "process" : "processReplacing", call);
}

std::int32_t CVstPlugin::RenderCallback(float** inputs, float** outputs,
                                        std::int32_t inputChannels, std::int32_t outputChannels,
                                        std::int32_t frames, std::int32_t, void* owner)
{
    auto* self = static_cast<CVstPlugin*>(owner);
    if (self == nullptr || frames <= 0)
        return 0;
    const CDenormalGuard noDenormals;
    RenderScope scope(self->m_renders);
    if (self->m_loaded.load() != 0) {
        self->Render(inputs, outputs, frames, inputChannels, outputChannels,
                     self->m_canReplacing != 0);
    }
    return 0;
}
