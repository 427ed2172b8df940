/* The simulation's own sample conversion, written independently of the host's, so that a
 * recording checks the host's conversion instead of repeating it. Little-endian formats only;
 * the rest are left alone on write and read as silence. */
#include "SimAsio.h"

#include <string.h>

int simSampleWidth(long type)
{
    switch (type) {
    case SIM_Int16LSB: return 2;
    case SIM_Int24LSB: return 3;
    case SIM_Int32LSB: case SIM_Float32LSB: case SIM_Int32LSB16: case SIM_Int32LSB18:
    case SIM_Int32LSB20: case SIM_Int32LSB24: return 4;
    case SIM_Float64LSB: return 8;
    case 0: return 2;                  /* Int16MSB */
    case 1: return 3;                  /* Int24MSB */
    case 2: case 3: case 8: case 9: case 10: case 11: return 4;  /* 32-bit MSB kinds */
    case 4: return 8;                  /* Float64MSB */
    default: return 0;
    }
}

static double clip(double v)
{
    return v > 1.0 ? 1.0 : v < -1.0 ? -1.0 : v;
}

static void putLE(unsigned char* out, unsigned long v, int bytes)
{
    int i;
    for (i = 0; i < bytes; ++i)
        out[i] = (unsigned char)(v >> (8 * i));
}

static long getLE(const unsigned char* in, int bytes)
{
    unsigned long v = 0;
    int i;
    for (i = 0; i < bytes; ++i)
        v |= (unsigned long)in[i] << (8 * i);
    /* sign-extend from the top byte */
    if (bytes < 4 && (v & (1ul << (8 * bytes - 1))))
        v |= ~0ul << (8 * bytes);
    return (long)v;
}

/* Bits of significance in a 32-bit container for the LSBxx types. */
static int containerBits(long type)
{
    switch (type) {
    case SIM_Int32LSB16: return 16;
    case SIM_Int32LSB18: return 18;
    case SIM_Int32LSB20: return 20;
    case SIM_Int32LSB24: return 24;
    default: return 32;
    }
}

void simWriteSample(unsigned char* out, long type, double value)
{
    double v = clip(value);
    switch (type) {
    case SIM_Int16LSB: putLE(out, (unsigned long)(long)(v * 32767.0), 2); break;
    case SIM_Int24LSB: putLE(out, (unsigned long)(long)(v * 8388607.0), 3); break;
    case SIM_Int32LSB: putLE(out, (unsigned long)(long)(v * 2147483647.0), 4); break;
    case SIM_Int32LSB16: case SIM_Int32LSB18: case SIM_Int32LSB20: case SIM_Int32LSB24: {
        double full = (double)((1l << (containerBits(type) - 1)) - 1);
        putLE(out, (unsigned long)(long)(v * full), 4);
        break;
    }
    case SIM_Float32LSB: { float f = (float)v; memcpy(out, &f, 4); break; }
    case SIM_Float64LSB: memcpy(out, &v, 8); break;
    default: {
        int width = simSampleWidth(type);
        if (width > 0)
            memset(out, 0, (size_t)width);
        break;
    }
    }
}

double simReadSample(const unsigned char* in, long type)
{
    switch (type) {
    case SIM_Int16LSB: return (double)getLE(in, 2) / 32768.0;
    case SIM_Int24LSB: return (double)getLE(in, 3) / 8388608.0;
    case SIM_Int32LSB: return (double)getLE(in, 4) / 2147483648.0;
    case SIM_Int32LSB16: case SIM_Int32LSB18: case SIM_Int32LSB20: case SIM_Int32LSB24:
        return (double)getLE(in, 4) / (double)(1l << (containerBits(type) - 1));
    case SIM_Float32LSB: { float f; memcpy(&f, in, 4); return f; }
    case SIM_Float64LSB: { double d; memcpy(&d, in, 8); return d; }
    default: return 0.0;
    }
}
