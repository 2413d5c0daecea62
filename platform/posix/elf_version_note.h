// The ELF note in which a program or library carries its file version.
//
// Owner "ZNGroups", type 1; the descriptor is a run of NUL-terminated "Key=Value" strings, in
// the manner of a version resource's string table: "FileVersion=0.1.0", "ProductName=...".
// The library writes its own note at build time (version_note.cpp.in).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zn::platform {

inline constexpr char kVersionNoteOwner[] = "ZNGroups";
inline constexpr std::uint32_t kVersionNoteType = 1;
inline constexpr char kFileVersionKey[] = "FileVersion=";
// Larger descriptors are refused rather than read.
inline constexpr std::size_t kMaxVersionNoteSize = 64 * 1024;

}  // namespace zn::platform
