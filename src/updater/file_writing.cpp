#include "updater/file_writing.h"

#include <utility>

#include "base/text.h"
#include "platform/file_stream.h"

namespace updater {

namespace {

class TReplacingFileWriter : public TFileWriter {
  public:
    explicit TReplacingFileWriter(const std::u16string& path) : file_(path) {}
    base::TStream& Stream() override { return file_.Stream(); }
    void Restart() override { file_.Restart(); }
    void Commit(const std::u16string& aside) override { file_.Commit(aside); }

  private:
    platform::TReplacingFile file_;
};

}  // namespace

std::unique_ptr<TFileWriter> OpenReplacingFile(const std::u16string& path) {
    return std::make_unique<TReplacingFileWriter>(path);
}

THashingWriter::THashingWriter(std::unique_ptr<TFileWriter> inner)
    : inner_(std::move(inner)), stream_(std::make_unique<THashingStream>(*this)) {}

int64_t THashingWriter::THashingStream::Write(const void* buffer, int64_t count) {
    const int64_t written = owner_.inner_->Stream().Write(buffer, count);
    if (written > 0) {
        owner_.hash_.Update(buffer, static_cast<size_t>(written));
        Advance(written);
    }
    return written;
}

void THashingWriter::Restart() {
    inner_->Restart();
    hash_.Final();  // starts a new digest
    stream_ = std::make_unique<THashingStream>(*this);
}

std::string THashingWriter::HexDigest() {
    return base::HexDigest(hash_.Final());
}

TCommitQueue::~TCommitQueue() {
    std::deque<TItem> dropped;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        dropped.swap(items_);
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TCommitQueue::Add(std::unique_ptr<TFileWriter> file, std::u16string aside, int tag) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back({std::move(file), std::move(aside), tag});
    }
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

void TCommitQueue::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !items_.empty(); });
        if (items_.empty()) {
            return;  // stopped
        }
        TItem item = std::move(items_.front());
        items_.pop_front();
        if (failure_) {
            // Dropped: its temporary file goes, the old file stays.
            lock.unlock();
            item.file.reset();
            lock.lock();
            changed_.notify_all();
            continue;
        }
        busy_ = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            item.file->Commit(item.aside);
        } catch (...) {
            failure = std::current_exception();
        }
        item.file.reset();
        lock.lock();
        busy_ = false;
        if (failure) {
            failure_ = failure;
            failedTag_ = item.tag;
        }
        changed_.notify_all();
    }
}

void TCommitQueue::RethrowFailure() {
    std::exception_ptr failure;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        failure = failure_;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void TCommitQueue::Finish() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return items_.empty() && !busy_; });
    }
    RethrowFailure();
}

int TCommitQueue::FailedTag() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return failedTag_;
}

namespace {

// The names of a manifest path with "." and ".." resolved ("\" and "/"
// alike separate them; a GBK character whose second byte is "\" is not
// split).
std::vector<std::string> ResolvedNames(std::string_view relative) {
    std::vector<std::string> names(1);
    for (size_t i = 0; i < relative.size(); ++i) {
        if (base::IsGbkPair(relative, i)) {
            names.back() += relative.substr(i, 2);
            ++i;
        } else if (relative[i] == '\\' || relative[i] == '/') {
            names.emplace_back();
        } else {
            names.back() += relative[i];
        }
    }
    std::vector<std::string> resolved;
    for (std::string& name : names) {
        if (name == "..") {
            if (!resolved.empty()) {
                resolved.pop_back();
            }
        } else if (name != "." && !name.empty()) {
            resolved.push_back(std::move(name));
        }
    }
    return resolved;
}

}  // namespace

std::string ResolvedPath(std::string_view relative) {
    std::string path;
    for (const std::string& name : ResolvedNames(relative)) {
        path += (path.empty() ? "" : "\\") + name;
    }
    return path;
}

std::vector<std::string> FoldersOf(std::string_view relative) {
    std::vector<std::string> names = ResolvedNames(relative);
    std::vector<std::string> folders;
    std::string folder;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        folder += (folder.empty() ? "" : "\\") + names[i];
        folders.push_back(folder);
    }
    return folders;
}

}  // namespace updater
