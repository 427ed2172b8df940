#include "SoundServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {
constexpr double kCaptureRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;

std::string ReadLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}
}  // namespace

CSoundServer::CSoundServer()
{
    if (const char* dir = std::getenv("ZUMBREL_SOUND_DIR"))
        m_dir = dir;
}

std::uint64_t CSoundServer::CaptureMark() const
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA((m_dir + "\\capture.raw").c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::vector<float> CSoundServer::CaptureSince(std::uint64_t mark) const
{
    std::ifstream file(m_dir + "\\capture.raw", std::ios::binary);
    file.seekg(static_cast<std::streamoff>(mark - mark % (2 * sizeof(float))));
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<float> frames(bytes.size() / (2 * sizeof(float)) * 2);
    std::copy_n(bytes.data(), frames.size() * sizeof(float), reinterpret_cast<char*>(frames.data()));
    return frames;
}

// One line to the server's command line over loopback.
bool CSoundServer::Command(const std::string& line) const
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return false;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(ReadLine(m_dir + "\\cli-port").c_str())));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string text = line + "\n";
    bool sent = s != INVALID_SOCKET &&
                connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                send(s, text.c_str(), static_cast<int>(text.size()), 0) == static_cast<int>(text.size());
    // The server runs the line, then closes its end once it has read to the end of ours.
    sent = sent && shutdown(s, SD_SEND) == 0;
    char answer[512];
    while (sent && recv(s, answer, sizeof answer, 0) > 0) {
    }
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    return sent;
}

bool CSoundServer::UnloadSink() const
{
    return Command("unload-module module-null-sink");
}

bool CSoundServer::LoadSink() const
{
    return Command("load-module module-null-sink " + ReadLine(m_dir + "\\sink-args"));
}

ToneCheck CheckTone(const std::vector<float>& stereo, int channel, float threshold)
{
    ToneCheck check;
    const std::size_t frames = stereo.size() / 2;
    auto at = [&](std::size_t f) { return stereo[2 * f + static_cast<std::size_t>(channel)]; };
    std::size_t first = frames, last = 0;
    for (std::size_t f = 0; f < frames; ++f) {
        if (std::fabs(at(f)) > threshold) {
            first = std::min(first, f);
            last = f;
        }
    }
    if (first >= last)
        return check;
    // A whole number of periods' worth of crossings needs a few cycles in at least.
    std::size_t crossings = 0;
    for (std::size_t f = first + 1; f <= last; ++f) {
        if ((at(f - 1) < 0.0f) != (at(f) < 0.0f))
            ++crossings;
        check.largestStep = std::max(check.largestStep, double(std::fabs(at(f) - at(f - 1))));
        check.peak = std::max(check.peak, double(std::fabs(at(f))));
    }
    check.frames = last - first + 1;
    check.frequency = crossings / 2.0 * kCaptureRate / static_cast<double>(check.frames);
    return check;
}

bool IsCleanSine(const std::vector<float>& stereo, double frequency, double level,
                 double seconds, std::string& why)
{
    const double slope = 2.0 * kPi * frequency * level / kCaptureRate;
    why.clear();
    for (int channel : {0, 1}) {
        const ToneCheck tone = CheckTone(stereo, channel);
        const std::string where = "channel " + std::to_string(channel) + ": ";
        if (tone.frames < seconds * kCaptureRate)
            why += where + std::to_string(tone.frames) + " frames of tone\n";
        if (std::fabs(tone.frequency - frequency) > 2.0)
            why += where + std::to_string(tone.frequency) + " Hz\n";
        if (std::fabs(tone.peak - level) > 0.01)
            why += where + "peak " + std::to_string(tone.peak) + "\n";
        if (tone.largestStep >= 1.3 * slope)
            why += where + "a jump of " + std::to_string(tone.largestStep) + "\n";
    }
    return why.empty();
}

void ExpectCleanSine(const std::vector<float>& stereo, double frequency, double level,
                     double seconds)
{
    std::string why;
    EXPECT_TRUE(IsCleanSine(stereo, frequency, level, seconds, why)) << why;
}
