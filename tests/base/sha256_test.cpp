// SHA-256: the FIPS 180-4 example messages, fed whole and in pieces of odd
// sizes, reuse after Final, and (natively) random messages around the block
// edges compared with the system's sha256sum.

#include "base/sha256.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace base {
namespace {

struct TVector {
    std::string message;
    const char* digest;
};

std::vector<TVector> Vectors() {
    return {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 448 bits
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopq"
         "rlmnopqrsmnopqrstnopqrstu",  // 896 bits
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
}

TEST(Sha256Test, StandardVectorsWholeAndInPieces) {
    // Pieces of 1 byte, of sizes that never meet a block edge the same way
    // twice, and of more than one block, so that the buffered path, the
    // direct path and their changeovers all run.
    const size_t piece_sizes[] = {1, 3, 7, 63, 65, 129, 4093};
    TSha256 hash;
    for (const TVector& v : Vectors()) {
        EXPECT_EQ(Sha256Hex(v.message), v.digest) << v.message.size() << " bytes whole";
        for (size_t piece : piece_sizes) {
            for (size_t at = 0; at < v.message.size(); at += piece) {
                hash.Update(std::string_view(v.message).substr(at, piece));
            }
            // The object was reset by the previous Final: one hash serves all.
            EXPECT_EQ(HexDigest(hash.Final()), v.digest)
                << v.message.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST(Sha256Test, HexDigestWritesEveryByteInOrder) {
    std::array<uint8_t, 32> digest;
    for (size_t i = 0; i < digest.size(); ++i) {
        digest[i] = static_cast<uint8_t>(i * 8 + (i & 1 ? 0xf0 : 0x0f));
    }
    std::string expected;
    for (uint8_t b : digest) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        expected += two;
    }
    EXPECT_EQ(HexDigest(digest), expected);
}

#ifndef _WIN32

// sha256sum's digest of the file `path`; empty when the program is missing.
std::string SystemDigest(const std::string& path) {
    const std::string command = "sha256sum '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {};
    }
    return std::string(line).substr(0, 64);
}

TEST(Sha256Test, AgreesWithSha256sumAroundBlockEdges) {
    if (std::system("command -v sha256sum >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sha256sum is not installed";
    }
    const std::string path = std::string(UPDATER_TEST_OUTPUT) + "/sha256-" +
                             std::to_string(static_cast<long>(getpid())) + ".bin";
    std::mt19937 gen(256);
    // Where the padding fits in the last block and where it needs one more
    // (55/56 bytes), at the block edges, and a few blocks long.
    const size_t sizes[] = {1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 65536 + 17};
    for (size_t size : sizes) {
        std::string bytes(size, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(gen());
        }
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_EQ(Sha256Hex(bytes), SystemDigest(path)) << size << " bytes";
    }
    std::remove(path.c_str());
}

#endif

}  // namespace
}  // namespace base
