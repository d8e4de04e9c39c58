// Bytes to texts and back, and the GBK-aware search.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(BytesToText, EndsAtTheFirstZeroByte) {
    EXPECT_EQ(bytesToText(Bytes{'a', 'b', '\0', 'c'}), "ab");
    EXPECT_EQ(bytesToText(Bytes{'\0', 'x'}), "");
    EXPECT_EQ(bytesToText(Bytes{'a', 'b', 'c'}), "abc");
    EXPECT_EQ(bytesToText(Bytes{}), "");
}

TEST(TextToBytes, HasNoTerminatingZero) {
    EXPECT_EQ(textToBytes("用户"), (Bytes{'\xD3', '\xC3', '\xBB', '\xA7'}));
    EXPECT_TRUE(textToBytes("").empty());
}

TEST(FindText, StepsOverTwoByteCharacters) {
    struct Case {
        Text text;
        Text key;
        std::size_t expected;
    };
    const Case cases[] = {
        {"xxgoodxx", "good", 2},
        {"good", "good", 0},
        {"goo", "good", Text::npos},
        {"GOOD", "good", Text::npos},
        {"\xB9good", "good", Text::npos},  // 0xB9 0x67 is one character: "g" is no letter
        {"\xB9\x67ood good", "good", 6},   // found after the character
        {"ab\xB9", "x", Text::npos},       // a lead byte at the very end ends the search
        {"\xD3\xC3|", "|", 2},
        {"\xD3|x", "|", Text::npos},  // 0x7C as the second byte of a character
        {"", "x", Text::npos},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findText(c.text, c.key), c.expected) << c.text << " / " << c.key;
    }
}

}  // namespace
}  // namespace quorvel
