#include "transfer/url.h"

#include <gtest/gtest.h>

namespace transfer {
namespace {

std::string Parts(const TUri& u) {
    return u.scheme + "|" + u.username + "|" + u.password + "|" + u.host + "|" + u.port + "|" +
           u.path + "|" + u.document + "|" + u.params;
}

TEST(ParseUri, SplitsAbsoluteUrls) {
    EXPECT_EQ(Parts(ParseUri("http://h")), "http|||h||/||");
    EXPECT_EQ(Parts(ParseUri("http://user:pw@h:8080/a/b/c.txt?x=1#top")),
              "http|user|pw|h|8080|/a/b/|c.txt|?x=1");
    // A password needs a user name.
    EXPECT_EQ(Parts(ParseUri("http://:pw@h/")), "http|||h||/||");
    EXPECT_EQ(Parts(ParseUri("http://user@h/")), "http|user||h||/||");
    EXPECT_EQ(Parts(ParseUri("http://[::1]:81/x")), "http|||::1|81|/|x|");
    // Without "?" the parameters start at the first "=".
    EXPECT_EQ(Parts(ParseUri("http://h/cgi/run=1/x")), "http|||h||/cgi/|run|=1/x");
    EXPECT_EQ(Parts(ParseUri("http://h/a?b=/c")), "http|||h||/|a|?b=/c");
}

TEST(ParseUri, HostOnlyUrlIsTheRoot) {
    const TUri u = ParseUri("http://example.com");
    EXPECT_EQ(u.host, "example.com");
    EXPECT_EQ(u.Target(), "/");
}

TEST(ParseUri, RelativeUrlsAndSlashes) {
    EXPECT_EQ(Parts(ParseUri("files/a.pak")), "|||||files/|a.pak|");
    EXPECT_EQ(Parts(ParseUri("a.pak")), "||||||a.pak|");
    EXPECT_EQ(Parts(ParseUri("/x/y")), "|||||/x/|y|");
    EXPECT_EQ(Parts(ParseUri("data\\maps\\a.pak")), "|||||data/maps/|a.pak|");
    // 0x5C as the second byte of a GBK character is no separator.
    const std::string gbk = "dir\\\x95\x5c.txt";  // a character whose trail byte is "\"
    EXPECT_EQ(ParseUri(gbk).path, "dir/");
    EXPECT_EQ(ParseUri(gbk).document, "\x95\x5c.txt");
}

TEST(JoinPath, ResolvesDotDotAndDuplicateSlashes) {
    EXPECT_EQ(JoinPath("/game/", "files/"), "/game/files/");
    EXPECT_EQ(JoinPath("/game/", ""), "/game/");
    EXPECT_EQ(JoinPath("/a/b/", "../c/"), "/a/c/");
    EXPECT_EQ(JoinPath("/a/", "../../../c/"), "/c/");
    EXPECT_EQ(JoinPath("", "x/"), "/x/");
    EXPECT_EQ(JoinPath("//a//", "//b/"), "/a/b/");
}

}  // namespace
}  // namespace transfer
