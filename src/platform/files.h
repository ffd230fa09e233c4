#pragma once

// Files and their times, as the update check needs them.

#include <cstdint>
#include <string>

namespace platform {

// 100-nanosecond ticks since 1 January 1601 (UTC on disk; local after
// FileTimeToLocalFileTime). 0 is the zero file time.
using FileTime = uint64_t;

inline constexpr FileTime kTicksPerMillisecond = 10'000;
inline constexpr FileTime kTicksPerDay = 864'000'000'000;

// Last-write time of the first directory entry that matches `pattern`, a GBK
// path, whatever its attributes (read-only, hidden, system, directory, ...);
// the zero file time when nothing matches. On Windows the pattern goes to the
// system's directory search as it is; elsewhere "\" separates folders and
// the pattern is taken as a plain path.
FileTime FirstMatchLastWriteTime(const std::string& pattern);

// Shifts a UTC file time by the time-zone offset in force now (daylight
// saving included), not the one in force at that time. A result before the
// zero file time is clamped to it.
FileTime FileTimeToLocalFileTime(FileTime utc);

// The process's current directory as GBK text, without a trailing separator
// (except for a root).
std::string CurrentDirectory();

}  // namespace platform
