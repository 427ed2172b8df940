#include "audio/WasapiFormat.h"

namespace {
// "{00000003-0000-0010-8000-00aa00389b71}" and "{00000001-...}": float and integer samples.
const GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}  // namespace

InterleavedFormat FormatOf(const WAVEFORMATEX* format)
{
    if (format == nullptr || format->nChannels == 0 || format->wBitsPerSample % 8 != 0 ||
        format->nBlockAlign != format->nChannels * (format->wBitsPerSample / 8))
        return InterleavedFormat{};
    bool isFloat = format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    bool known = isFloat || format->wFormatTag == WAVE_FORMAT_PCM;
    if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22) {
        const auto* extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
        isFloat = IsEqualGUID(extensible->SubFormat, kSubtypeFloat);
        known = isFloat || IsEqualGUID(extensible->SubFormat, kSubtypePcm);
    }
    if (!known)
        return InterleavedFormat{};
    const InterleavedFormat layout =
        interleavedFormat(format->nChannels, format->wBitsPerSample, isFloat);
    return writesInterleaved(layout) ? layout : InterleavedFormat{};
}

WAVEFORMATEXTENSIBLE ExclusiveFormat(WORD channels, DWORD rate, WORD bits, bool isFloat)
{
    WAVEFORMATEXTENSIBLE format{};
    format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.Format.nChannels = channels;
    format.Format.nSamplesPerSec = rate;
    format.Format.wBitsPerSample = bits;
    format.Format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.Format.nAvgBytesPerSec = rate * format.Format.nBlockAlign;
    format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    format.Samples.wValidBitsPerSample = bits;
    format.dwChannelMask = channels == 2 ? (SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT) : 0;
    format.SubFormat = isFloat ? kSubtypeFloat : kSubtypePcm;
    return format;
}
