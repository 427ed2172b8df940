#include "toolkit/FileBytes.h"

#include "toolkit/TextRules.h"

#include <windows.h>

namespace toolkit {

namespace {
constexpr char kTemporaryPrefix[] = "zum";

// The folder part of `path` with its separator ("C:\a\" for "C:\a\b.fxb"), "." for a bare name.
std::string FolderOf(const std::string& path)
{
    const std::string name = FileTitleOf(path);
    return name.size() == path.size() ? std::string(".")
                                      : path.substr(0, path.size() - name.size());
}

bool WriteAll(HANDLE file, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, piece, &written, nullptr) || written != piece)
            return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}
}  // namespace

ReadOutcome ReadFileBytes(const std::string& path, std::size_t limit,
                          std::vector<std::uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ReadOutcome::CannotRead;
    LARGE_INTEGER size{};
    ReadOutcome outcome = ReadOutcome::CannotRead;
    if (GetFileSizeEx(file, &size) && size.QuadPart >= 0) {
        if (static_cast<unsigned long long>(size.QuadPart) > limit) {
            outcome = ReadOutcome::TooLarge;
        }
        else {
            bytes.assign(static_cast<std::size_t>(size.QuadPart), 0);
            DWORD read = 0;
            const DWORD wanted = static_cast<DWORD>(bytes.size());
            if (bytes.empty() ||
                (ReadFile(file, bytes.data(), wanted, &read, nullptr) && read == wanted))
                outcome = ReadOutcome::Read;
        }
    }
    CloseHandle(file);
    if (outcome != ReadOutcome::Read)
        bytes.clear();
    return outcome;
}

bool WriteFileReplacing(const std::string& path, const void* data, std::size_t size)
{
    char temporary[MAX_PATH] = {};
    if (GetTempFileNameA(FolderOf(path).c_str(), kTemporaryPrefix, 0, temporary) == 0)
        return false;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, data, size) &&
                   FlushFileBuffers(file) != FALSE;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    written = written && MoveFileExA(temporary, path.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!written)
        DeleteFileA(temporary);
    return written;
}

}  // namespace toolkit
