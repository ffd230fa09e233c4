// The parts of writing a run's files that need no disk: the folders a path
// needs, and the order and the stop of the commits.

#include "updater/file_writing.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/exception.h"
#include "base/streams.h"

namespace updater {
namespace {

TEST(FileWriting, PathsAreResolvedAndTheirFoldersListedOutermostFirst) {
    const struct {
        const char* path;
        const char* resolved;
        std::vector<std::string> folders;
    } cases[] = {
        {"a.txt", "a.txt", {}},
        {"data\\maps\\m.pak", "data\\maps\\m.pak", {"data", "data\\maps"}},
        {"a\\..\\b\\.\\c/f.txt", "b\\c\\f.txt", {"b", "b\\c"}},
        // A GBK character whose second byte is "\" stays one name.
        {"\x81\x5c\\x.txt", "\x81\x5c\\x.txt", {"\x81\x5c"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvedPath(c.path), c.resolved) << c.path;
        EXPECT_EQ(FoldersOf(c.path), c.folders) << c.path;
    }
}

// Records its commit, or fails it, or records that it was dropped.
class RecordingFile : public TFileWriter {
  public:
    RecordingFile(int number, bool fail, std::vector<std::string>& log, std::mutex& lock)
        : number_(number), fail_(fail), log_(log), lock_(lock) {}
    ~RecordingFile() override {
        if (!committed_) {
            Note("dropped " + std::to_string(number_));
        }
    }
    base::TStream& Stream() override { return stream_; }
    void Restart() override {}
    void Commit(const std::u16string& aside) override {
        if (fail_) {
            throw base::EWriteError("Stream write error");
        }
        committed_ = true;
        Note("committed " + std::to_string(number_) + (aside.empty() ? "" : " aside"));
    }

  private:
    void Note(const std::string& text) {
        const std::lock_guard<std::mutex> guard(lock_);
        log_.push_back(text);
    }
    int number_;
    bool fail_;
    bool committed_ = false;
    std::vector<std::string>& log_;
    std::mutex& lock_;
    base::TMemoryStream stream_;
};

TEST(CommitQueue, CommitsInOrderAndNothingAfterAFailure) {
    std::vector<std::string> log;
    std::mutex lock;
    {
        TCommitQueue queue;
        queue.Add(std::make_unique<RecordingFile>(0, false, log, lock), u"old", 0);
        queue.Add(std::make_unique<RecordingFile>(1, false, log, lock), u"", 1);
        queue.Finish();
        EXPECT_EQ(queue.FailedTag(), -1);
        queue.Add(std::make_unique<RecordingFile>(2, true, log, lock), u"", 2);
        queue.Add(std::make_unique<RecordingFile>(3, false, log, lock), u"", 3);
        EXPECT_THROW(queue.Finish(), base::EWriteError);
        EXPECT_EQ(queue.FailedTag(), 2);
        EXPECT_THROW(queue.RethrowFailure(), base::EWriteError);
        // What comes after the failure is dropped, even when added later.
        queue.Add(std::make_unique<RecordingFile>(4, false, log, lock), u"", 4);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"committed 0 aside", "committed 1", "dropped 2",
                                             "dropped 3", "dropped 4"}));
}

}  // namespace
}  // namespace updater
