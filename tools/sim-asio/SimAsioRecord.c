/* Recording of the output channels into a WAV file, and the statistics file a test reads.
 * The WAV data holds every output channel interleaved, as 32-bit float or, when asked and
 * every output channel shares one little-endian integer or float format, in that format. */
#include "SimAsio.h"

#include <stdlib.h>
#include <string.h>

enum { kWavFormatPcm = 1, kWavFormatFloat = 3, kHeaderBytes = 44, kMoveAttempts = 50 };
static const unsigned long kMaxDataBytes = 0xFFFFFFFFul - 36ul;

static void put16(unsigned char* p, unsigned v) { p[0] = (unsigned char)v; p[1] = (unsigned char)(v >> 8); }
static void put32(unsigned char* p, unsigned long v)
{
    put16(p, (unsigned)(v & 0xffff));
    put16(p + 2, (unsigned)(v >> 16));
}

static void writeHeader(SimWav* wav)
{
    double rate = wav->rate;
    unsigned char h[kHeaderBytes];
    int isFloat = wav->nativeType == 0 || wav->nativeType == SIM_Float32LSB
                  || wav->nativeType == SIM_Float64LSB;
    unsigned blockAlign = (unsigned)(wav->channels * wav->bytesPerSample);
    unsigned long sampleRate = rate > 0 ? (unsigned long)(rate + 0.5) : 44100ul;
    memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + wav->dataBytes);
    memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, isFloat ? kWavFormatFloat : kWavFormatPcm);
    put16(h + 22, (unsigned)wav->channels);
    put32(h + 24, sampleRate);
    put32(h + 28, sampleRate * blockAlign);
    put16(h + 32, blockAlign);
    put16(h + 34, (unsigned)(8 * wav->bytesPerSample));
    memcpy(h + 36, "data", 4);
    put32(h + 40, wav->dataBytes);
    fseek(wav->file, 0, SEEK_SET);
    fwrite(h, 1, sizeof h, wav->file);
    fseek(wav->file, 0, SEEK_END);
}

int simWavOpen(SimWav* wav, const char* path, int channels, long nativeType, double rate,
               long frames)
{
    memset(wav, 0, sizeof *wav);
    if (!path[0] || channels <= 0 || frames <= 0)
        return 0;
    wav->channels = channels;
    wav->nativeType = nativeType;
    wav->bytesPerSample = nativeType ? simSampleWidth(nativeType) : 4;
    wav->scratch = (unsigned char*)malloc((size_t)frames * (size_t)channels * 8u);
    wav->file = fopen(path, "wb");
    if (!wav->file || !wav->scratch) {
        simWavClose(wav);
        return 0;
    }
    wav->rate = rate;
    writeHeader(wav);
    return 1;
}

void simWavWriteBlock(SimWav* wav, SimAsio* self, long index)
{
    unsigned char* out = wav->scratch;
    long frame, k;
    size_t bytes;
    if (!wav->file)
        return;
    for (frame = 0; frame < self->frames; ++frame) {
        for (k = 0; k < self->channelCount; ++k) {
            const SimChannel* ch = &self->channels[k];
            int width = simSampleWidth(ch->type);
            if (ch->isInput)
                continue;
            if (wav->nativeType) {
                memcpy(out, ch->buffers[index] + (size_t)frame * (size_t)width,
                       (size_t)wav->bytesPerSample);
            } else {
                float f = width ? (float)simReadSample(ch->buffers[index]
                                                       + (size_t)frame * (size_t)width, ch->type)
                                : 0.0f;
                memcpy(out, &f, 4);
            }
            out += wav->bytesPerSample;
        }
    }
    bytes = (size_t)(out - wav->scratch);
    if (wav->dataBytes + bytes > kMaxDataBytes)
        return; /* the RIFF sizes are 32 bits: the recording ends there */
    fwrite(wav->scratch, 1, bytes, wav->file);
    wav->dataBytes += (unsigned long)bytes;
}

void simWavClose(SimWav* wav)
{
    if (wav->file) {
        writeHeader(wav);
        fclose(wav->file);
    }
    free(wav->scratch);
    memset(wav, 0, sizeof *wav);
}

/* Written beside the final name and moved over it, so a reader never sees half a file. */
void simWriteStats(SimAsio* self)
{
    char temporary[SIM_TEXT + 8];
    FILE* f;
    int attempt;
    if (!self->config.statsPath[0])
        return;
    snprintf(temporary, sizeof temporary, "%s.tmp", self->config.statsPath);
    f = fopen(temporary, "w");
    if (!f)
        return;
    fprintf(f, "blocks=%ld\noutputReady=%ld\nanswered=%ld\nlate=%ld\nmissed=%ld\n",
            self->blocks, self->outputReadyCalls, self->answeredBlocks, self->late,
            self->missed);
    fprintf(f, "starts=%ld\nstops=%ld\nresets=%ld\nrogueSwitches=%ld\ntouchedOutsideRun=%ld\n",
            self->starts, self->stops, self->resets, self->rogueSwitches,
            self->touchedOutsideRun);
    fprintf(f, "samplePositionCalls=%ld\ntimeInfoSwitches=%ld\nplainSwitches=%ld\n",
            self->samplePositionCalls, self->timeInfoSwitches, self->plainSwitches);
    fprintf(f, "setSampleRateCalls=%ld\n", self->setSampleRateCalls);
    fprintf(f, "controlPanelCalls=%ld\n", self->controlPanelCalls);
    fprintf(f, "createBuffersCalls=%ld\ndisposeBuffersCalls=%ld\ndisposeWhileStarted=%ld\n"
               "released=%ld\n",
            self->createBuffersCalls, self->disposeBuffersCalls, self->disposeWhileStarted,
            self->released);
    fprintf(f, "messages=%ld\nlastMessageAnswer=%ld\ntwinSwitches=%ld\nmaxInside=%ld\n",
            self->messages, self->lastMessageAnswer, self->twinSwitches, self->maxInside);
    if (self->timedSwitches > 0 && self->frequency > 0)
        fprintf(f, "switchLateMeanUs=%.0f\nswitchLateMaxUs=%.0f\n",
                (double)self->switchLateTicksTotal * 1e6 / (double)self->frequency
                    / (double)self->timedSwitches,
                (double)self->switchLateTicksMax * 1e6 / (double)self->frequency);
    fprintf(f, "clockThread=%lu\nsampleRate=%.3f\nframes=%ld\nchannels=%ld\n",
            (unsigned long)self->clockThreadId, self->sampleRate, self->frames,
            self->createdChannels);
    fclose(f);
    /* A reader that has the file open at this moment blocks the move; try again shortly. */
    for (attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (MoveFileExA(temporary, self->config.statsPath, MOVEFILE_REPLACE_EXISTING))
            break;
        Sleep(1);
    }
}
