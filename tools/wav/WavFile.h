#pragma once
// Reads the simulated card's recordings: a RIFF WAVE file with one fmt and one data chunk.

#include <cstdint>
#include <string>
#include <vector>

struct WavFile {
    int format = 0;  // 1 integer PCM, 3 float
    int channels = 0;
    unsigned long sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<unsigned char> data;

    int bytesPerSample() const { return bitsPerSample / 8; }
    std::size_t frames() const
    {
        return channels && bitsPerSample ? data.size() / (channels * bytesPerSample()) : 0;
    }
    const unsigned char* sample(std::size_t frame, int channel) const
    {
        return data.data() + (frame * channels + channel) * bytesPerSample();
    }
};

// False if the file is missing or not a WAVE file this reader understands.
bool readWav(const std::string& path, WavFile& wav);
