// Cutting texts at a delimiter, byte-wise and GBK-aware.
#include <gtest/gtest.h>

#include "accounts/account_file.h"

namespace quorvel {
namespace {

struct SplitCase {
    const char* name;
    Text text;
    Text delimiter;
    std::vector<Text> expected;
};

TEST(SplitText, CutsAsTheFileFormatNeeds) {
    const SplitCase cases[] = {
        {"empty text", "", "|", {}},
        {"no delimiter", "abc", "|", {"abc"}},
        {"final delimiter adds no empty segment", "a|b|", "|", {"a", "b"}},
        {"adjacent delimiters give an empty segment", "a||b", "|", {"a", "", "b"}},
        {"leading delimiter gives an empty segment", "|a", "|", {"", "a"}},
        {"only a delimiter", "|", "|", {""}},
        {"CR LF lines", "a|b\r\nc|d\r\n", "\r\n", {"a|b", "c|d"}},
        {"LF alone does not split", "a\nb\r\n", "\r\n", {"a\nb"}},
        {"CR LF across a two-byte character", "\xB0\r\n", "\r\n", {"\xB0\r\n"}},
        {"second byte 0x7C stays inside its field", "\xD3|x|y", "|", {"\xD3|x", "y"}},
        {"GBK field text", "用户名|密码|域名|", "|", {"用户名", "密码", "域名"}},
        {"lead byte as the last byte", "a|\xB0", "|", {"a", "\xB0"}},
        {"lead byte at the end stops the scan", "\xB0", "|", {"\xB0"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(splitText(c.text, c.delimiter), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace quorvel
