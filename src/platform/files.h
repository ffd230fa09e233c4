#pragma once

// Files and their times, as the update check needs them.
//
// File names come in two forms. A name that starts at the system (the current
// directory, the install folder below it) is UTF-16 as the system gave it and
// stays so up to every file operation: a folder whose name GBK cannot hold
// (Korean, an emoji) is still reached exactly. The GBK forms are for names
// made of the program's own texts; on Windows they reach the system converted
// with code page 936.

#include <cstdint>
#include <string>
#include <vector>

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
FileTime FirstMatchLastWriteTime(const std::u16string& pattern);
FileTime FirstMatchLastWriteTime(const std::string& pattern);

// Shifts a UTC file time by the time-zone offset in force now (daylight
// saving included), not the one in force at that time. A result before the
// zero file time is clamped to it.
FileTime FileTimeToLocalFileTime(FileTime utc);

// The process's current directory exactly as the system names it, without a
// trailing separator (except for a root). Natively "/" separates its folders;
// a name that is not UTF-8 raises base::EEncodingError.
std::u16string CurrentDirectory();

// One entry of a folder listing. Links are followed: a link to a file is a
// file, a link to a folder a folder.
struct TFolderEntry {
    std::u16string name;  // the name alone, as the system holds it
    bool is_folder = false;
    bool is_file = false;     // a regular file; neither for a device, pipe or socket
    FileTime last_write = 0;  // UTC
    uint64_t size = 0;        // of a file
};

// The entries of `folder` ("\" separates its folders, as in the names above),
// without "." and "..", in the order the system gives them. base::Exception
// naming the folder when it cannot be read, or (natively) naming the entry
// whose name is not UTF-8 or that cannot be examined (a link to nothing).
std::vector<TFolderEntry> ListFolder(const std::u16string& folder);

}  // namespace platform
