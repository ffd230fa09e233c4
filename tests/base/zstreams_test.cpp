#include "base/zstreams.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>

#include "base/exception.h"

namespace base {
namespace {

using namespace std::string_literals;

const std::string kRefused = "Invalid stream operation";
const std::string kBadData = "compression error";

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(gen());
    }
    return bytes;
}

// Text-like data with plenty of repetition, so that it compresses well.
std::string CompressibleBytes(size_t n) {
    std::string bytes;
    for (unsigned i = 0; bytes.size() < n; ++i) {
        bytes += "line " + std::to_string(i % 977) + " of the updater's file list\r\n";
    }
    bytes.resize(n);
    return bytes;
}

std::string ReadAll(TStream& s, int64_t chunk) {
    std::string out;
    std::string buf(static_cast<size_t>(chunk), '\0');
    while (const int64_t n = s.Read(buf.data(), chunk)) {
        out.append(buf, 0, static_cast<size_t>(n));
    }
    return out;
}

template <typename E, typename F>
void ExpectError(F&& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

TEST(ZStreamsTest, RoundTripsAtEveryLevel) {
    const std::string inputs[] = {"", "a", CompressibleBytes(3'000'000), RandomBytes(2'000'000, 7)};
    for (const std::string& data : inputs) {
        for (int level : {-1, 0, 1, 9}) {
            const std::string packed = ZCompress(data, level);
            EXPECT_EQ(ZDecompress(packed), data) << data.size() << " bytes, level " << level;
            if (level == 9) {  // plain zlib reads it too
                std::string out(data.size(), '\0');
                uLongf length = static_cast<uLongf>(out.size());
                EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                                     reinterpret_cast<const Bytef*>(packed.data()),
                                     static_cast<uLong>(packed.size())),
                          Z_OK);
                EXPECT_EQ(out, data);
            }
        }
    }
    EXPECT_LT(ZCompress(inputs[2]).size(), inputs[2].size() / 10);
}

TEST(ZStreamsTest, ManySmallAndLargeWritesAndReads) {
    const std::string data = CompressibleBytes(1'500'000) + RandomBytes(500'000, 11);
    TMemoryStream packed;
    packed.WriteBuffer("header"s);  // compression starts at the current position
    {
        TCompressionStream z(packed, 6);
        size_t at = 0;
        for (size_t piece = 1; at < data.size(); piece = piece * 3 + 1) {
            const size_t n = std::min(piece, data.size() - at);
            z.WriteBuffer(data.data() + at, static_cast<int64_t>(n));
            at += n;
            EXPECT_EQ(z.Position(), static_cast<int64_t>(at));
        }
    }  // the destructor finishes the zlib stream
    EXPECT_EQ(packed.View().substr(0, 6), "header");

    for (int64_t chunk : {1, 4095, 16384, 16385, 1 << 22}) {
        packed.SetPosition(6);
        TDecompressionStream z(packed);
        if (chunk == 1) {  // byte by byte, for a stretch
            std::string head(1000, '\0');
            for (char& c : head) {
                ASSERT_EQ(z.Read(&c, 1), 1);
            }
            EXPECT_EQ(head, data.substr(0, 1000));
        } else {
            EXPECT_EQ(ReadAll(z, chunk), data) << "chunk " << chunk;
            EXPECT_EQ(z.Position(), static_cast<int64_t>(data.size()));
        }
    }
}

// The source hands out 7 bytes per read, as a pipe might: the inflater must
// keep asking for input, and give back what follows the zlib stream.
TEST(ZStreamsTest, SourceGivingFewBytesPerRead) {
    class TrickleSource : public TStream {
      public:
        int64_t Read(void* buffer, int64_t count) override {
            return inner.Read(buffer, std::min<int64_t>(count, 7));
        }
        int64_t Write(const void*, int64_t) override { return 0; }
        int64_t Seek(int64_t offset, SeekOrigin origin) override {
            return inner.Seek(offset, origin);
        }
        TMemoryStream inner;
    } source;
    const std::string data = CompressibleBytes(200'000) + std::string(100'000, '\0');
    source.inner.Assign(ZCompress(data) + "after");
    TDecompressionStream z(source);
    EXPECT_EQ(ReadAll(z, 1000), data);
    std::string rest(5, '\0');
    source.ReadBuffer(rest.data(), 5);
    EXPECT_EQ(rest, "after");
}

TEST(ZStreamsTest, RefusedOperations) {
    TMemoryStream packed;
    TCompressionStream c(packed);
    char byte = 0;
    ExpectError<ECompressionError>([&] { c.Read(&byte, 1); }, kRefused);
    ExpectError<ECompressionError>([&] { c.Seek(0, SeekOrigin::Beginning); }, kRefused);
    ExpectError<ECompressionError>([&] { c.Seek(1, SeekOrigin::Current); }, kRefused);
    ExpectError<ECompressionError>([&] { c.Size(); }, kRefused);
    ExpectError<ECompressionError>([&] { c.SetSize(0); }, kRefused);
    c.WriteBuffer("abc"s);
    EXPECT_EQ(c.Seek(0, SeekOrigin::Current), 3);
    c.Finish();
    const std::string finished = packed.ToString();
    c.Finish();
    EXPECT_EQ(packed.View(), finished) << "a second Finish writes nothing";
    ExpectError<ECompressionError>([&] { c.WriteBuffer("d"s); }, kRefused);
    EXPECT_EQ(ZDecompress(finished), "abc");
    ExpectError<ECompressionError>([&] { TCompressionStream bad(packed, 10); }, "error");
    ExpectError<ECompressionError>([&] { TCompressionStream bad(packed, -2); }, "error");

    packed.Assign(ZCompress(CompressibleBytes(10'000)));
    TDecompressionStream d(packed);
    ExpectError<EDecompressionError>([&] { d.Write("x", 1); }, kRefused);
    ExpectError<EDecompressionError>([&] { d.SetSize(0); }, kRefused);
    ExpectError<EDecompressionError>([&] { d.Seek(0, SeekOrigin::End); }, kRefused);
    ExpectError<EDecompressionError>([&] { d.Size(); }, kRefused);
    d.Seek(100, SeekOrigin::Beginning);
    ExpectError<EDecompressionError>([&] { d.Seek(50, SeekOrigin::Beginning); }, kRefused);
    ExpectError<EDecompressionError>([&] { d.Seek(-1, SeekOrigin::Current); }, kRefused);
    EXPECT_EQ(d.Position(), 100);
}

TEST(ZStreamsTest, RewindAndForwardSeeks) {
    const std::string data = CompressibleBytes(300'000) + RandomBytes(300'000, 5);
    TMemoryStream packed;
    packed.WriteBuffer("prefix"s);
    packed.WriteBuffer(ZCompress(data));
    packed.SetPosition(6);
    TDecompressionStream z(packed);

    EXPECT_EQ(ReadAll(z, 70'000), data);
    EXPECT_EQ(z.Seek(0, SeekOrigin::Beginning), 0);
    EXPECT_EQ(ReadAll(z, 9'999), data) << "rewinding starts over where the source was";

    z.SetPosition(0);
    EXPECT_EQ(z.Seek(123'457, SeekOrigin::Beginning), 123'457);
    EXPECT_EQ(z.Seek(200'000, SeekOrigin::Current), 323'457);
    EXPECT_EQ(z.Seek(323'457, SeekOrigin::Beginning), 323'457);
    std::string next(1000, '\0');
    z.ReadBuffer(next.data(), 1000);
    EXPECT_EQ(next, data.substr(323'457, 1000));
    EXPECT_EQ(z.Seek(10'000'000, SeekOrigin::Current), static_cast<int64_t>(data.size()))
        << "a seek past the end stops there";
}

TEST(ZStreamsTest, BadDataRaises) {
    const std::string good = ZCompress(CompressibleBytes(100'000));
    std::string corrupt = good;
    corrupt[corrupt.size() / 2] ^= 0x55;
    corrupt[corrupt.size() / 2 + 1] ^= 0x55;
    std::string badChecksum = good;
    badChecksum.back() ^= 1;
    for (const std::string& bad : {corrupt, badChecksum, "not zlib at all"s, ""s, good + "x"}) {
        ExpectError<EDecompressionError>([&] { ZDecompress(bad); }, kBadData);
    }
    // Cut anywhere, including inside the trailer, the data is refused.
    for (size_t keep : {size_t{1}, size_t{2}, good.size() / 3, good.size() - 4, good.size() - 1}) {
        TMemoryStream cut;
        cut.Assign(std::string_view(good).substr(0, keep));
        TDecompressionStream z(cut);
        ExpectError<EDecompressionError>([&] { ReadAll(z, 4096); }, kBadData);
        TMemoryStream target;
        EXPECT_THROW(DecompressInto(cut, target), EDecompressionError);
    }
}

TEST(ZStreamsTest, DecompressInto) {
    const std::string data = RandomBytes(20'000, 9) + CompressibleBytes(20'000);
    TMemoryStream source;
    source.Assign(ZCompress(data) + "TRAILER");
    source.Seek(0, SeekOrigin::End);  // read from the start all the same
    TMemoryStream target;
    target.WriteBuffer("kept|"s);
    target.SetPosition(0);
    DecompressInto(source, target);
    EXPECT_EQ(target.View(), "kept|" + data);
    EXPECT_EQ(target.Position(), target.Size());
    EXPECT_EQ(source.Size() - source.Position(), 7) << "the trailer is left unread";
}

}  // namespace
}  // namespace base
