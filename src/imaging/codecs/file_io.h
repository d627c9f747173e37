// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reading and safe writing for the picture codecs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hueline {

// The largest picture file the program reads at all.
inline constexpr std::uint64_t kMaxFileBytes = 1ULL << 30;

// Reads a whole file. Throws FileError naming the file: "no such file",
// "it is a folder", "it cannot be read (permission denied)", "larger than 1 GB".
std::vector<std::uint8_t> readFileBytes(const std::string& path);

// Writes bytes to a temporary file in the target's folder and renames it
// over the target only once everything is written, so that a failure
// never destroys an existing file and leaves no temporary behind. Throws
// FileError naming the file and the reason.
void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// The part of a path after its last '/'.
std::string baseName(const std::string& path);

}  // namespace hueline
