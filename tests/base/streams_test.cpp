#include "base/streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "base/exception.h"

namespace base {
namespace {

using namespace std::string_literals;

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(gen());
    }
    return bytes;
}

// Moves at most `piece` bytes per Read or Write, as a pipe or a socket might,
// and takes no more than `limit` bytes in all.
class TrickleStream : public TStream {
  public:
    explicit TrickleStream(int64_t piece, int64_t limit = INT64_MAX)
        : piece_(piece), limit_(limit) {}

    int64_t Read(void* buffer, int64_t count) override {
        return inner.Read(buffer, std::min(count, piece_));
    }
    int64_t Write(const void* buffer, int64_t count) override {
        return inner.Write(buffer, std::min({count, piece_, limit_ - inner.Size()}));
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override {
        ++seeks;
        return inner.Seek(offset, origin);
    }

    TMemoryStream inner;
    int seeks = 0;

  private:
    int64_t piece_;
    int64_t limit_;
};

template <typename E, typename F>
void ExpectError(F&& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

TEST(MemoryStreamTest, WriteReadAndSeek) {
    TMemoryStream s;
    EXPECT_EQ(s.Write("hello world", 11), 11);
    EXPECT_EQ(s.Position(), 11);
    EXPECT_EQ(s.Seek(-5, SeekOrigin::End), 6);
    char buf[16] = {};
    EXPECT_EQ(s.Read(buf, 16), 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(s.Read(buf, 16), 0);
    EXPECT_EQ(s.Seek(-6, SeekOrigin::Current), 5);
    s.Write("_", 1);
    EXPECT_EQ(s.Write(buf, -1), 0);
    EXPECT_EQ(s.ToString(), "hello_world");

    ExpectError<EStreamError>([&] { s.Seek(-12, SeekOrigin::End); },
                              "Seek before the beginning of the stream");
    EXPECT_THROW(s.Seek(-1, SeekOrigin::Beginning), EStreamError);
    EXPECT_THROW(s.Seek(INT64_MAX, SeekOrigin::End), EStreamError);
    EXPECT_EQ(s.Position(), 6) << "a refused seek leaves the position";
}

TEST(MemoryStreamTest, GapsAndRegrowthAreZeroFilled) {
    TMemoryStream s;
    s.SetPosition(3);
    s.WriteBuffer("ab"s);
    EXPECT_EQ(s.View(), "\0\0\0ab"s);

    // Bytes cut off by SetSize must not come back when the stream grows.
    s.Assign("abcdefgh");
    s.SetPosition(8);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 8) << "SetSize keeps the position";
    s.SetSize(4);
    EXPECT_EQ(s.View(), "ab\0\0"s);
    s.SetSize(2);
    s.WriteBuffer("Z"s);
    EXPECT_EQ(s.View(), "ab\0\0\0\0\0\0Z"s);
    EXPECT_THROW(s.SetSize(-1), EStreamError);
}

TEST(MemoryStreamTest, GrowthIsGeometric) {
    TMemoryStream s;
    int moves = 0;
    const char* memory = nullptr;
    for (int i = 0; i < 1'000'000; ++i) {
        const char c = static_cast<char>(i);
        s.Write(&c, 1);
        if (s.Memory() != memory) {
            memory = s.Memory();
            ++moves;
        }
    }
    EXPECT_LE(moves, 20);
    EXPECT_EQ(s.Size(), 1'000'000);
    EXPECT_EQ(s.View()[999'999], static_cast<char>(999'999));
}

TEST(MemoryStreamTest, AssignLoadFromAndClear) {
    TMemoryStream s;
    s.Assign("0123456789");
    s.SetPosition(7);
    s.Assign(s.View().substr(2, 5));  // a view of its own memory
    EXPECT_EQ(s.View(), "23456");
    EXPECT_EQ(s.Position(), 0);

    TrickleStream source(3);
    source.inner.Assign("loaded from a trickle");
    source.inner.SetPosition(5);
    s.SetPosition(4);
    s.LoadFrom(source);
    EXPECT_EQ(s.View(), "loaded from a trickle") << "all of the source, replacing all";
    EXPECT_EQ(s.Position(), 0);

    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
}

TEST(StreamTest, BufferTransfersLoopOverShortReadsAndWrites) {
    TrickleStream s(3);
    const std::string data = RandomBytes(1000, 1);
    s.WriteBuffer(data);
    EXPECT_EQ(s.inner.View(), data);
    s.SetPosition(0);
    std::string back(1000, '\0');
    s.ReadBuffer(back.data(), 1000);
    EXPECT_EQ(back, data);
    ExpectError<EReadError>([&] { s.ReadBuffer(back.data(), 1); }, "Stream read error");

    TrickleStream full(64, 10);
    ExpectError<EWriteError>([&] { full.WriteBuffer("eleven byte"s); }, "Stream write error");

    // The default Size seeks to the end and back.
    EXPECT_EQ(s.Seek(10, SeekOrigin::Beginning), 10);
    s.seeks = 0;
    EXPECT_EQ(s.Size(), 1000);
    EXPECT_EQ(s.Position(), 10);
    EXPECT_GT(s.seeks, 1);
    ExpectError<EStreamError>([&] { s.SetSize(3); }, "Stream size cannot be changed");
}

TEST(ForwardStreamTest, CountsWhatItIsGivenAndOnlyTellsWhereItIs) {
    TForwardStream sink;
    EXPECT_EQ(sink.Write("abc", 3), 3);
    EXPECT_EQ(sink.Write("abc", -1), 0);
    EXPECT_EQ(sink.Write("abcdef", 6), 6);
    EXPECT_EQ(sink.Seek(0, SeekOrigin::Current), 9);
    char byte = 0;
    EXPECT_EQ(sink.Read(&byte, 1), 0);
    EXPECT_EQ(sink.Size(), 9);
    EXPECT_EQ(sink.Seek(9, SeekOrigin::Beginning), 9);
    EXPECT_THROW(sink.Seek(0, SeekOrigin::Beginning), EStreamError);
    EXPECT_THROW(sink.Seek(-1, SeekOrigin::Current), EStreamError);
    EXPECT_THROW(sink.Seek(1, SeekOrigin::End), EStreamError);
}

TEST(StreamTest, CopyFrom) {
    const std::string data = RandomBytes(200'000, 2);  // several copy chunks
    TrickleStream source(5000);
    source.inner.Assign(data);

    source.SetPosition(100);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 150'000), 150'000);
    EXPECT_EQ(part.View(), std::string_view(data).substr(100, 150'000));
    EXPECT_EQ(source.Position(), 150'100);

    TMemoryStream all;
    all.WriteBuffer("prefix:"s);
    EXPECT_EQ(all.CopyFrom(source, 0), 200'000) << "count 0 copies everything";
    EXPECT_EQ(all.View(), "prefix:" + data);

    source.SetPosition(199'990);
    ExpectError<EReadError>([&] { part.CopyFrom(source, 11); }, "Stream read error");
    EXPECT_THROW(part.CopyFrom(source, -1), EStreamError);
    TMemoryStream empty;
    EXPECT_EQ(part.CopyFrom(empty, 0), 0);
}

}  // namespace
}  // namespace base
