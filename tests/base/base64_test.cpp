// Base64: the vectors of RFC 4648 both ways, line breaking at a given
// length, random bytes round trip, and the texts the decoder refuses.

#include "base/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

namespace base {
namespace {

TEST(Base64Test, KnownVectorsBothWays) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFF\xFE\x00"s, "//4A"},  // the last two digits of the alphabet, a NUL byte
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64(plain), encoded);
        EXPECT_EQ(Base64Decode(encoded), plain);
    }
}

TEST(Base64Test, LineBreaking) {
    const struct {
        size_t bytes;
        size_t line_length;
        std::string lines;  // the line lengths, "|" for each CR LF
    } cases[] = {
        {0, 76, ""},            // no line at all
        {57, 76, "76|"},        // exactly one full line
        {58, 76, "76|4|"},      // a second line of one group
        {115, 76, "76|76|4|"},  // two full lines and a third
        {10, 0, "16"},          // one line, no line break
        {6, 3, "3|3|2|"},       // the last line shorter
    };
    for (const auto& c : cases) {
        const std::string bytes(c.bytes, 'x');
        const std::string out = Base64(bytes, c.line_length);
        std::string shape;
        std::string joined;
        size_t start = 0;
        for (size_t end; (end = out.find("\r\n", start)) != std::string::npos; start = end + 2) {
            shape += std::to_string(end - start) + "|";
            joined += out.substr(start, end - start);
        }
        if (start < out.size()) {
            shape += std::to_string(out.size() - start);
            joined += out.substr(start);
        }
        EXPECT_EQ(shape, c.lines) << c.bytes << " bytes in lines of " << c.line_length;
        EXPECT_EQ(joined, Base64(bytes)) << c.bytes;
        EXPECT_EQ(out.find_first_of("\r\n", 0) == std::string::npos,
                  c.line_length == 0 || c.bytes == 0);
    }
}

TEST(Base64Test, RandomBytesRoundTrip) {
    std::mt19937 gen(5);
    for (size_t n = 0; n < 300; ++n) {
        std::string bytes(n, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(gen());
        }
        const std::string encoded = Base64(bytes);
        EXPECT_EQ(encoded.size(), (n + 2) / 3 * 4);
        EXPECT_EQ(Base64Decode(encoded), bytes) << n;
    }
}

TEST(Base64Test, DecoderRefusesWhatTheEncoderNeverWrites) {
    for (const char* bad : {"Zg=", "Zg", "Z===", "Zm9v!A==", "Zg==Zg==", "Z=g=", "Zh==", "Zm9=",
                            " Zg==", "Zm8=\n", "Zm9v\r\nZm9v"}) {
        EXPECT_EQ(Base64Decode(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace base
