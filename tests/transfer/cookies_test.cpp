#include "transfer/cookies.h"

#include <gtest/gtest.h>

namespace transfer {
namespace {

TEST(HttpDate, ReadsTheThreeFormats) {
    const int64_t expected = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseHttpDate("Sun Nov  6 08:49:37 1994"), expected);
    EXPECT_EQ(ParseHttpDate("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
    EXPECT_EQ(ParseHttpDate("Wed, 29 Feb 2040 23:59:59 GMT"), 2214172799);
    EXPECT_FALSE(ParseHttpDate("tomorrow"));
    EXPECT_FALSE(ParseHttpDate("Sun, 06 Nov 1994"));
    EXPECT_FALSE(ParseHttpDate("Sun, 06 Nov 1994 25:00:00 GMT"));
}

TEST(Cookies, DomainMatching) {
    EXPECT_TRUE(DomainMatches("www.a.com", "a.com"));
    EXPECT_TRUE(DomainMatches("A.COM", "a.com"));
    EXPECT_FALSE(DomainMatches("evila.com", "a.com"));
    EXPECT_FALSE(DomainMatches("a.com", "www.a.com"));
    EXPECT_FALSE(DomainMatches("a.com", ""));
}

TEST(Cookies, StoreReplaceExpireAndSend) {
    TCookieManager jar;
    const int64_t now = 1000;
    jar.Store("id=1; Path=/; Domain=.a.com", "www.a.com", now);
    jar.Store("lang=zh", "www.a.com", now);
    jar.Store("id=2; path=/; domain=a.com", "www.a.com", now);  // replaces id=1
    jar.Store("x=1; domain=b.com", "www.a.com", now);           // not this host's
    jar.Store("noequals", "www.a.com", now);
    ASSERT_EQ(jar.Cookies().size(), 2u);
    EXPECT_EQ(jar.HeaderFor("www.a.com", "/f"), "lang=zh; id=2");
    EXPECT_EQ(jar.HeaderFor("img.a.com", "/f"), "id=2");
    EXPECT_EQ(jar.HeaderFor("b.com", "/f"), "");

    // An expiry in the past deletes the stored cookie.
    jar.Store("lang=en; expires=Thu, 01 Jan 1970 00:00:01 GMT", "www.a.com", now);
    EXPECT_EQ(jar.HeaderFor("www.a.com", "/"), "id=2");

    jar.Store("t=1; expires=Thu, 01 Jan 1970 00:30:00 GMT", "www.a.com", now);
    EXPECT_EQ(jar.HeaderFor("www.a.com", "/"), "id=2; t=1");
    jar.Expire(1800);
    EXPECT_EQ(jar.HeaderFor("www.a.com", "/"), "id=2");
}

TEST(Cookies, TheOldestGiveWayWhenTheStoreIsFull) {
    TCookieManager jar;
    for (size_t i = 0; i <= TCookieManager::kMaxCookies; ++i) {
        jar.Store("c" + std::to_string(i) + "=v", "h", 0);
    }
    ASSERT_EQ(jar.Cookies().size(), TCookieManager::kMaxCookies);
    EXPECT_EQ(jar.Cookies().front().name, "c1");
    EXPECT_EQ(jar.Cookies().back().name, "c" + std::to_string(TCookieManager::kMaxCookies));

    // By size: three of these fit, the fourth pushes out the first.
    jar.Clear();
    const std::string value(TCookieManager::kMaxCookieBytes / 3 - 8, 'v');
    for (const char* name : {"a", "b", "c", "d"}) {
        jar.Store(std::string(name) + "=" + value, "h", 0);
    }
    ASSERT_EQ(jar.Cookies().size(), 3u);
    EXPECT_EQ(jar.Cookies().front().name, "b");
    // A cookie larger than the whole store is not kept and drops nothing.
    jar.Store("huge=" + std::string(TCookieManager::kMaxCookieBytes, 'v'), "h", 0);
    EXPECT_EQ(jar.Cookies().size(), 3u);
    EXPECT_EQ(jar.HeaderFor("h", "/").find("huge"), std::string::npos);
}

}  // namespace
}  // namespace transfer
