#include "tolvar/core/utf.hpp"

#include <gtest/gtest.h>

#include "tolvar/core/ids.hpp"
#include "tolvar/core/platform.hpp"

namespace tolvar::core {
namespace {

TEST(Utf8, Validation) {
    EXPECT_TRUE(is_valid_utf8("abc \xc3\xa9 \xf0\x9f\x98\x80"));
    EXPECT_FALSE(is_valid_utf8("\xc0\xaf"));          // overlong
    EXPECT_FALSE(is_valid_utf8("\xed\xa0\x80"));      // surrogate
    EXPECT_FALSE(is_valid_utf8("\xf4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xe2\x82"));          // cut short
    EXPECT_FALSE(is_valid_utf8("\x80"));
}

TEST(Utf16, ConversionsAndUnpairedSurrogates) {
    EXPECT_EQ(utf8_to_utf16("a\xf0\x9f\x98\x80"), u"a\U0001F600");
    EXPECT_EQ(utf16_to_utf8(u"\U0001F600\u00e9").value(), "\xf0\x9f\x98\x80\xc3\xa9");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_FALSE(utf16_to_utf8(lone));
    EXPECT_EQ(utf16_to_utf8_lossy(lone),
              "a\xef\xbf\xbd"
              "b");
    EXPECT_EQ(utf8_to_utf16("\xff"), u"\uFFFD");
}

TEST(Whitespace, TrimsUnicodeWhiteSpaceAtBothEnds) {
    EXPECT_EQ(trim_unicode("\xe3\x80\x80 \t x y \xc2\xa0\n"), "x y");
    EXPECT_EQ(trim_unicode(" \xe2\x80\x83 "), "");
    EXPECT_EQ(trim_unicode("\xc3\xa9"), "\xc3\xa9");
}

TEST(Identifiers, FormatAndSequence) {
    EXPECT_EQ(format_id('p', 17'000'000'000'123'456, 5), "p-1700000000012-5");
    EXPECT_EQ(format_id('s', -1, 0), "s-0-0");
    const std::string a = new_id('s');
    const std::string b = new_id('p');
    const auto seq = [](const std::string& id) {
        return std::stoull(id.substr(id.rfind('-') + 1));
    };
    EXPECT_EQ(seq(b), seq(a) + 1);
    EXPECT_EQ(b[0], 'p');
}

TEST(Clock, SecondsAreTruncatedAndNeverBefore1970) {
    EXPECT_EQ(unix_seconds(-5), 0u);
    EXPECT_EQ(unix_seconds(19'999'999), 1u);
    EXPECT_GT(unix_seconds(system_time_100ns()), 1'600'000'000u);
}

}  // namespace
}  // namespace tolvar::core
