#include "DemoPlugin.h"

#include "Editor.h"

#include <cstring>
#include <new>
#include <xmmintrin.h>

namespace demo {

namespace {

constexpr std::int32_t kUniqueId = ('Z' << 24) | ('m' << 16) | ('D' << 8) | 'm';
constexpr std::int32_t kVersion = 1000;
constexpr std::int32_t kVstVersion = 2400;
constexpr int kScratchFrames = 4096;
constexpr unsigned kProgramChange = 0xC0;

// Writes at most `limit` characters and a terminator.
void copyName(void* destination, const char* name, std::size_t limit)
{
    if (!destination)
        return;
    auto* out = static_cast<char*>(destination);
    std::strncpy(out, name, limit);
    out[limit] = '\0';
}

// Denormal numbers in decaying filter and envelope states cost hundreds of cycles each on x86;
// flush them to zero for the duration of a block and restore the host's setting afterwards.
class FlushDenormals {
public:
    FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~FlushDenormals() { _mm_setcsr(saved); }
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
    unsigned saved;
};

}  // namespace

DemoPlugin::DemoPlugin(vst::HostCallback hostCallback) : host(hostCallback)
{
    record.magic = vst::kMagic;
    record.dispatcher = dispatchEntry;
    record.process = processEntry;
    record.setParameter = setParameterEntry;
    record.getParameter = getParameterEntry;
    record.numPrograms = ProgramBank::kPrograms;
    record.numParams = kParameterCount;
    record.numInputs = 0;
    record.numOutputs = 2;
    record.flags = vst::kHasEditor | vst::kCanReplace | vst::kProgramChunks | vst::kIsSynth;
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = kUniqueId;
    record.version = kVersion;
    record.processReplacing = processReplacingEntry;
    editor = std::make_unique<Editor>(*this);
    editorRect = {0, 0, static_cast<std::int16_t>(Editor::kHeight), static_cast<std::int16_t>(Editor::kWidth)};
}

DemoPlugin::~DemoPlugin() = default;

bool DemoPlugin::isNoteHeld(int note) const
{
    if (note < 0 || note > 127)
        return false;
    return (heldNotes[note / 32].load(std::memory_order_relaxed) >> (note % 32)) & 1u;
}

void DemoPlugin::playFromEditor(unsigned char status, int note, int velocity)
{
    const unsigned char bytes[3] = {status, static_cast<unsigned char>(note & 0x7F),
                                    static_cast<unsigned char>(velocity & 0x7F)};
    editorNotes.push(bytes);
}

void DemoPlugin::setParameter(std::int32_t index, float value)
{
    programs.setValue(index, value);
    changed();
}

void DemoPlugin::beginEdit(int index)
{
    host(&record, vst::audioMasterBeginEdit, index, 0, nullptr, 0.0f);
}

void DemoPlugin::editFromEditor(int index, float value)
{
    setParameter(index, value);
    host(&record, vst::audioMasterAutomate, index, 0, nullptr, programs.value(index));
}

void DemoPlugin::endEdit(int index)
{
    host(&record, vst::audioMasterEndEdit, index, 0, nullptr, 0.0f);
}

void VST_CALL DemoPlugin::setParameterEntry(vst::Effect* effect, std::int32_t index, float value)
{
    from(effect)->setParameter(index, value);
}

float VST_CALL DemoPlugin::getParameterEntry(vst::Effect* effect, std::int32_t index)
{
    return from(effect)->programs.value(index);
}

std::intptr_t VST_CALL DemoPlugin::dispatchEntry(vst::Effect* effect, std::int32_t opcode, std::int32_t index,
                                                 std::intptr_t value, void* ptr, float opt)
{
    DemoPlugin* self = effect ? from(effect) : nullptr;
    if (!self)
        return 0;
    if (opcode == vst::effClose) {
        delete self;
        return 1;
    }
    return self->dispatch(opcode, index, value, ptr, opt);
}

std::intptr_t DemoPlugin::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt)
{
    switch (opcode) {
    case vst::effSetProgram:
        if (value >= 0 && value < ProgramBank::kPrograms && programs.select(static_cast<int>(value)))
            changed();
        return 0;
    case vst::effGetProgram:
        return program();
    case vst::effSetProgramName:
        programs.rename(static_cast<const char*>(ptr));
        changed();
        return 0;
    case vst::effGetProgramName:
        copyName(ptr, programName(), ProgramBank::kNameLength);
        return 0;
    case vst::effGetProgramNameIndexed:
        if (index < 0 || index >= ProgramBank::kPrograms)
            return 0;
        copyName(ptr, programs.name(index), ProgramBank::kNameLength);
        return 1;
    case vst::effGetParamLabel:
    case vst::effGetParamDisplay:
    case vst::effGetParamName:
        return parameterText(opcode, index, ptr);
    case vst::effCanBeAutomated:
        return index >= 0 && index < kParameterCount ? 1 : 0;
    case vst::effGetChunk:
        return getChunk(index, ptr);
    case vst::effSetChunk:
        return setChunk(index, value, ptr);
    case vst::effSetSampleRate:
        synth.setSampleRate(opt);
        return 0;
    case vst::effEditGetRect:
        if (ptr)
            *static_cast<vst::Rect**>(ptr) = &editorRect;
        return 1;
    case vst::effEditOpen:
        return editor->open(ptr) ? 1 : 0;
    case vst::effEditClose:
        editor->close();
        return 0;
    case vst::effEditIdle:
        editor->idle();
        return 0;
    case vst::effProcessEvents:
        queueEvents(static_cast<const vst::Events*>(ptr));
        return 1;
    case vst::effGetPlugCategory:
        return vst::kPlugCategorySynth;
    case vst::effGetEffectName:
    case vst::effGetProductString:
        copyName(ptr, "Zumbrel Demo Synth", 31);
        return 1;
    case vst::effGetVendorString:
        copyName(ptr, "Zumbrel", 63);
        return 1;
    case vst::effGetVendorVersion:
        return kVersion;
    case vst::effCanDo:
        if (ptr && (!std::strcmp(static_cast<const char*>(ptr), "receiveVstEvents")
                    || !std::strcmp(static_cast<const char*>(ptr), "receiveVstMidiEvent")))
            return 1;
        return 0;
    case vst::effGetVstVersion:
        return kVstVersion;
    default:
        return 0;
    }
}

std::intptr_t DemoPlugin::parameterText(std::int32_t opcode, std::int32_t index, void* ptr) const
{
    if (!ptr || index < 0 || index >= kParameterCount)
        return 0;
    constexpr std::size_t kLimit = vst::kParamTextBytes - 1;
    if (opcode == vst::effGetParamName) {
        copyName(ptr, parameterName(index), kLimit);
    } else if (opcode == vst::effGetParamLabel) {
        copyName(ptr, parameterLabel(index), kLimit);
    } else {
        char text[vst::kParamTextBytes];
        formatValue(index, programs.value(index), text, sizeof text);
        copyName(ptr, text, kLimit);
    }
    return 1;
}

// Index 0 is the whole bank, any other the current program, as the interface defines it. The
// answer stays valid until the next effGetChunk.
std::intptr_t DemoPlugin::getChunk(std::int32_t index, void* ptr)
{
    if (!ptr)
        return 0;
    const std::size_t size = programs.save(index == 0 ? ProgramBank::Scope::Bank : ProgramBank::Scope::Program, chunk);
    *static_cast<void**>(ptr) = chunk;
    return static_cast<std::intptr_t>(size);
}

std::intptr_t DemoPlugin::setChunk(std::int32_t index, std::intptr_t size, const void* ptr)
{
    if (!ptr || size <= 0)
        return 0;
    const auto scope = index == 0 ? ProgramBank::Scope::Bank : ProgramBank::Scope::Program;
    if (!programs.load(scope, static_cast<const unsigned char*>(ptr), static_cast<std::size_t>(size)))
        return 0;
    changed();
    return 1;
}

void DemoPlugin::queueEvents(const vst::Events* events)
{
    // The list is the host's and may be refilled once this call returns: copy what is needed.
    if (!events)
        return;
    for (std::int32_t i = 0; i < events->numEvents; ++i) {
        const vst::Event* event = events->events[i];
        if (!event || event->type != vst::kMidiEventType)
            continue;
        const auto* midi = reinterpret_cast<const vst::MidiEvent*>(event);
        pending.add(midi->deltaFrames, reinterpret_cast<const unsigned char*>(midi->midiData));
    }
}

// Keeps the editor's held keys in step with the block's notes. A MIDI program change selects
// its program for the whole block it arrives in, since the patch is chosen once per block.
void DemoPlugin::followEvent(const unsigned char* bytes)
{
    const unsigned kind = bytes[0] & 0xF0u;
    if (kind == kProgramChange && programs.select(bytes[1] & 0x7F))
        changed();
    if (kind != 0x80 && kind != 0x90)
        return;
    const int note = bytes[1] & 0x7F;
    const std::uint32_t bit = 1u << (note % 32);
    if (kind == 0x90 && bytes[2] != 0)
        heldNotes[note / 32].fetch_or(bit, std::memory_order_relaxed);
    else
        heldNotes[note / 32].fetch_and(~bit, std::memory_order_relaxed);
    changed();
}

void DemoPlugin::render(float* left, float* right, int frames)
{
    FlushDenormals flush;
    unsigned char bytes[3];
    while (editorNotes.pop(bytes))
        pending.add(0, bytes);
    for (int i = 0; i < pending.size(); ++i)
        followEvent(pending.data()[i].bytes);
    synth.setPatch(programs.sound());
    synth.render(left, right, frames, pending.data(), pending.size());
    pending.clear();
}

void VST_CALL DemoPlugin::processReplacingEntry(vst::Effect* effect, float**, float** outputs, std::int32_t frames)
{
    if (frames > 0 && outputs && outputs[0] && outputs[1])
        from(effect)->render(outputs[0], outputs[1], frames);
}

void VST_CALL DemoPlugin::processEntry(vst::Effect* effect, float**, float** outputs, std::int32_t frames)
{
    // The accumulating entry adds to what the outputs hold, one scratch-sized piece at a time;
    // a block's events all take effect within its first piece.
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1])
        return;
    float left[kScratchFrames];
    float right[kScratchFrames];
    for (std::int32_t done = 0; done < frames; done += kScratchFrames) {
        const int n = frames - done < kScratchFrames ? frames - done : kScratchFrames;
        from(effect)->render(left, right, n);
        for (int i = 0; i < n; ++i) {
            outputs[0][done + i] += left[i];
            outputs[1][done + i] += right[i];
        }
    }
}

}  // namespace demo

extern "C" __declspec(dllexport) vst::Effect* VST_CALL VSTPluginMain(vst::HostCallback host)
{
    if (!host)
        return nullptr;
    auto* plugin = new (std::nothrow) demo::DemoPlugin(host);
    return plugin ? plugin->effect() : nullptr;
}
