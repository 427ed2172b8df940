// Whole files as bytes: read with a size limit, and written so that a crash, a full disk or a
// failing device never leaves a half file under the name: the bytes go to a temporary file in
// the same folder, which then replaces the old file in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace toolkit {

enum class ReadOutcome { Read, CannotRead, TooLarge };

// Reads the whole file at `path` into `bytes`; files over `limit` bytes are not read.
ReadOutcome ReadFileBytes(const std::string& path, std::size_t limit,
                          std::vector<std::uint8_t>& bytes);

// Writes `size` bytes as the file at `path`. On failure the file that was there is unchanged
// and no temporary file is left behind.
bool WriteFileReplacing(const std::string& path, const void* data, std::size_t size);

}  // namespace toolkit
