#pragma once

// Writing the files of an update run: each body streams into a temporary
// file beside its target as it arrives, and the finished files are flushed
// and moved over their targets on a thread of their own, in list order,
// while the next file downloads.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/sha256.h"
#include "base/streams.h"

namespace updater {

// A file being received. Dropped before Commit, its temporary file goes and
// the old file stays whole.
class TFileWriter {
  public:
    virtual ~TFileWriter() = default;
    // Where the bytes go.
    virtual base::TStream& Stream() = 0;
    // Empties the file for a transfer that starts over.
    virtual void Restart() = 0;
    // Flushes the bytes to the disk and moves the file over its target;
    // with `aside`, the target is moved there first (a running program).
    // Throws platform::EFileInUse when a program holds the target open.
    virtual void Commit(const std::u16string& aside) = 0;
};

// The file on disk (platform::TReplacingFile).
std::unique_ptr<TFileWriter> OpenReplacingFile(const std::u16string& path);

// A file whose bytes are hashed (SHA-256) on their way to another writer.
class THashingWriter : public TFileWriter {
  public:
    explicit THashingWriter(std::unique_ptr<TFileWriter> inner);
    base::TStream& Stream() override { return *stream_; }
    void Restart() override;
    void Commit(const std::u16string& aside) override { inner_->Commit(aside); }
    // The digest (64 lower-case hexadecimal digits) of the bytes written
    // since the start or the last Restart.
    std::string HexDigest();

  private:
    // Passes each write on and hashes what the inner stream took; only
    // forward, as a transfer writes.
    class THashingStream : public base::TForwardStream {
      public:
        explicit THashingStream(THashingWriter& owner) : owner_(owner) {}
        int64_t Write(const void* buffer, int64_t count) override;

      private:
        THashingWriter& owner_;
    };
    std::unique_ptr<TFileWriter> inner_;
    base::TSha256 hash_;
    std::unique_ptr<THashingStream> stream_;  // anew for each start
};

// Commits files one after another on a thread of its own, in the order they
// are added. After the first failure nothing more is committed: the files
// still queued are dropped (their temporary files removed), so a run never
// moves in a file that comes after one that failed.
class TCommitQueue {
  public:
    TCommitQueue() = default;
    // Drops what is still queued and waits for a commit under way.
    ~TCommitQueue();
    TCommitQueue(const TCommitQueue&) = delete;
    TCommitQueue& operator=(const TCommitQueue&) = delete;

    // Queues a finished file; `tag` names it in FailedTag().
    void Add(std::unique_ptr<TFileWriter> file, std::u16string aside, int tag);
    // Rethrows the first failure, if there was one.
    void RethrowFailure();
    // Waits until every queued file is committed, then RethrowFailure().
    void Finish();
    // The tag of the file whose commit failed; -1 while none did.
    int FailedTag();

  private:
    struct TItem {
        std::unique_ptr<TFileWriter> file;
        std::u16string aside;
        int tag = 0;
    };
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TItem> items_;
    bool busy_ = false;  // a commit is under way
    bool stop_ = false;
    std::exception_ptr failure_;
    int failedTag_ = -1;
    std::thread thread_;  // started by the first Add
};

// A manifest path (one IsSafeRelativePath accepts) with "." and ".."
// resolved and "\" between its names: "a\..\b\.\c/f.txt" is "b\c\f.txt".
// It never leaves the install folder.
std::string ResolvedPath(std::string_view relative);

// The folders a manifest path needs below the install folder, outermost
// first, each as ResolvedPath gives it: "a\..\b\c\f.txt" needs "b" and
// "b\c".
std::vector<std::string> FoldersOf(std::string_view relative);

}  // namespace updater
