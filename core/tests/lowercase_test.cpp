#include "tolvar/core/lowercase.hpp"

#include <gtest/gtest.h>

namespace tolvar::core {
namespace {

TEST(Lowercase, MapsEveryScript) {
    EXPECT_EQ(to_lowercase("Prod-DB 10.0.0.1:22"), "prod-db 10.0.0.1:22");
    EXPECT_EQ(to_lowercase("\xC3\x84RZTE Stra\xC3\x9F"
                           "e"),
              "\xC3\xA4rzte stra\xC3\x9F"
              "e");
    EXPECT_EQ(to_lowercase("\xC7\x85"), "\xC7\x86");                  // titlecase DŽ
    EXPECT_EQ(to_lowercase("\xEF\xBC\xA1"), "\xEF\xBD\x81");          // fullwidth A
    EXPECT_EQ(to_lowercase("\xF0\x90\x90\x80"), "\xF0\x90\x90\xA8");  // Deseret, beyond the BMP
    EXPECT_EQ(to_lowercase("\xC4\x80\xC4\x81\xC4\x82"), "\xC4\x81\xC4\x81\xC4\x83");  // strided run
}

TEST(Lowercase, ContextualMappings) {
    // Dotted capital I lower-cases to two code points.
    EXPECT_EQ(to_lowercase("\xC4\xB0stanbul"), "i\xCC\x87stanbul");
    // Capital sigma: final after a letter at a word's end, medial otherwise.
    EXPECT_EQ(to_lowercase("\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3"), "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82");
    EXPECT_EQ(to_lowercase("\xCE\xA3"), "\xCF\x83");
    EXPECT_EQ(to_lowercase("\xCE\x91\xCE\xA3."), "\xCE\xB1\xCF\x82.");
    EXPECT_EQ(to_lowercase("\xCE\x91\xCE\xA3\xCE\x92"), "\xCE\xB1\xCF\x83\xCE\xB2");
}

TEST(Lowercase, OneCodePointOutOfContext) {
    std::string out;
    char buf[4];
    for (char32_t cp : {U'Q', U'\u0130', U'\u03A3', U'\u03C2', U'\uFF21'}) {
        out.append(buf, lowercase_utf8(cp, buf));
    }
    // Sigma is medial without neighbours; a final sigma stays as it is.
    EXPECT_EQ(out, "qi\xCC\x87\xCF\x83\xCF\x82\xEF\xBD\x81");
}

TEST(Lowercase, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(to_lowercase("A\xFF"), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tolvar::core
