#pragma once

// TFileStream: a file on disk as a byte stream. A name is either UTF-16 as
// the system names it (a path below a folder that came from the system, so
// every character reaches the file exactly) or GBK text, which on Windows
// reaches the system converted with code page 936, so Chinese names work
// whatever the system's language. "\" separates folders in both.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/exception.h"
#include "base/streams.h"

namespace platform {

// "Cannot create file NAME" / "Cannot open file NAME", NAME as given.
class EFCreateError : public base::EStreamError {
  public:
    using EStreamError::EStreamError;
};
class EFOpenError : public base::EStreamError {
  public:
    using EStreamError::EStreamError;
};
// "The file is in use: NAME": another program holds the file open in a way
// that does not let it be replaced (a game that is still running).
class EFileInUse : public EFCreateError {
  public:
    using EFCreateError::EFCreateError;
};

enum TFileMode {
    fmCreate,         // create or truncate, read and write
    fmOpenRead,       // existing file, read only
    fmOpenWrite,      // existing file, write only
    fmOpenReadWrite,  // existing file, read and write
};

class TFileStream : public base::TStream {
  public:
    // A GBK name; one that is not GBK text is a file that cannot be opened.
    TFileStream(const std::string& fileName, TFileMode mode);
    // A name exactly as the system holds it. FileName() and the error
    // messages show it in GBK, with "?" for what GBK cannot hold.
    TFileStream(const std::u16string& fileName, TFileMode mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, base::SeekOrigin origin) override;
    void SetSize(int64_t size) override;

    // Writes what the system still buffers to the disk; EWriteError when
    // that fails.
    void Flush();

    const std::string& FileName() const { return fileName_; }

  private:
    // Opens `name` (null: a name that is no text) or raises the error of the
    // mode, naming fileName_.
    void Open(const std::u16string* name, TFileMode mode);

    std::string fileName_;
    intptr_t handle_ = -1;
};

// The whole content of the file at `path` (GBK or UTF-16); EFOpenError "Cannot open file
// PATH" when it cannot be opened, EReadError when it cannot be read whole.
std::string ReadWholeFile(const std::string& path);
std::string ReadWholeFile(const std::u16string& path);

// Replaces the file at `path` (UTF-16 or GBK) with `bytes` so that it is either the old
// file or the whole new one, never a part: the bytes go to a temporary file
// beside it, are flushed to the disk, and the temporary file is moved over the
// old one in one step. On failure the temporary file is removed, the old file
// is untouched, and the error is EFCreateError "Cannot create file PATH" (the
// folder is missing or not writable, or the old file is locked) or
// EWriteError "Stream write error" (the disk is full).
// The UTF-16 form names PATH in its messages in GBK, with "?" for what GBK
// cannot hold.
void WriteFileAtomically(const std::u16string& path, std::string_view bytes);
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// The name of the temporary file WriteFileAtomically uses for `path`.
std::u16string TemporaryNameFor(const std::u16string& path);
std::string TemporaryNameFor(const std::string& path);

// Moves `from` over `to` (replacing it) in one step; false on failure.
bool MoveFileReplacing(const std::u16string& from, const std::u16string& to);

enum class TMoveResult {
    kMoved,
    kInUse,   // a program holds `to` (or `from`) open and it cannot be replaced
    kFailed,  // any other reason (a read-only file, a missing folder, ...)
};
// MoveFileReplacing, telling a file in use from other failures.
TMoveResult MoveFileOver(const std::u16string& from, const std::u16string& to);

// Creates the folder `path` (its parent must exist); true when it exists as
// a folder afterwards, also when it was there before.
bool CreateFolder(const std::u16string& path);

// A file written in place of another, so that the old file stays whole until
// the new one is complete: the bytes go to TemporaryNameFor(path), and Commit
// flushes them to the disk and moves them over `path` in one step. A file not
// committed (a transfer that failed, a hash that did not match) is removed
// with its object.
class TReplacingFile {
  public:
    // Creates the temporary file; EFCreateError "Cannot create file PATH"
    // when it cannot be made (a missing or read-only folder).
    explicit TReplacingFile(std::u16string path);
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    // Where the bytes go, until Commit.
    base::TStream& Stream() { return *stream_; }
    // Empties the file for bytes that start over.
    void Restart();
    // Flushes the bytes to the disk and moves the file over the target.
    // With `aside`, the target is first moved there: a running program
    // cannot be replaced but can be renamed. On failure nothing is replaced
    // (a target moved aside is moved back) and the error is EFileInUse "The
    // file is in use: PATH", EFCreateError "Cannot create file PATH", or
    // EWriteError when the flush fails.
    void Commit(const std::u16string& aside = {});

    const std::u16string& Path() const { return path_; }

  private:
    std::u16string path_;
    std::u16string temporary_;
    std::unique_ptr<TFileStream> stream_;
    bool committed_ = false;
};
bool MoveFileReplacing(const std::string& from, const std::string& to);
// Removes a file; false when it could not be removed.
bool RemoveFile(const std::u16string& path);
bool RemoveFile(const std::string& path);

}  // namespace platform
