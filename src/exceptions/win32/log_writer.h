#pragma once

// The error log on disk: where it lives, how it is read back, and how an
// item is added so that neither a crash nor a full disk can cut the file (a
// new file is written beside it and moved over it) and two processes
// reporting at once both keep their items (a lock named after the file is
// held from reading to writing).

#include <windows.h>

#include <string>
#include <string_view>

#include "exceptions/log_file.h"
#include "exceptions/options.h"

namespace exceptions {

// The log file of the module file `module_path`: LogLocation itself when it
// ends in ".clg" (any case); otherwise the module's file name with the
// extension ".clg" in the folder LogLocation or, when that is empty, in the
// module's own folder.
std::u16string LogFilePath(const TVivavaModuleOptions& options, const std::u16string& module_path);

// Where the log really goes: `path` when its folder takes new files; else
// the same file name in the per-user folder %LOCALAPPDATA%\<name of the
// executable without extension>\ (made when missing), so that a program
// installed in a read-only folder still keeps its log.
std::u16string WritableLogPath(const std::u16string& path);

// The log of `path` held against other processes (and other threads) for
// the life of the object; after `timeout_ms` without it the holder goes on
// unlocked (Held() false) rather than wait for ever.
class TLogLock {
  public:
    explicit TLogLock(const std::u16string& path, DWORD timeout_ms = 10000);
    ~TLogLock();
    TLogLock(const TLogLock&) = delete;
    TLogLock& operator=(const TLogLock&) = delete;
    bool Held() const { return held_; }

  private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

// The items of the log at `path` (none when there is no file); only its last
// kLogReadLimit bytes are read. Throws base::EStreamError when the file
// exists but cannot be read.
TLogFile ReadLog(const std::u16string& path);

// Adds `item` to the log at `path` unless it is a `duplicate` (keeping at
// most LogCapacity items) and, when `save`, writes the log under its lock.
// Returns the text to send: `item`, or with SendWholeLog the whole log with
// the item (also when it was not saved). Throws base::EStreamError when the
// log cannot be read or written; the file on disk then stays as it was.
std::string AppendToLog(const TVivavaModuleOptions& options, const std::u16string& path,
                        std::string_view item, bool duplicate, bool save);

}  // namespace exceptions
