// peizhi.ini through real files in a temporary folder.
#include <gtest/gtest.h>

#include "accounts/account_file.h"
#include "support/memory_account_list.h"
#include "support/temp_dir.h"

namespace quorvel {
namespace {

using test::MemoryAccountList;
using Row = MemoryAccountList::Row;

class AccountFileTest : public ::testing::Test {
  protected:
    std::vector<Row> load(const std::string& bytes) {
        test::writeFileBytes(path, bytes);
        MemoryAccountList list;
        loadAccounts(list, path);
        return list.rows;
    }

    test::TempDir dir;
    std::string path = dir.file("peizhi.ini");
};

TEST_F(AccountFileTest, LoadsLinesAsTheFormatSays) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"zero bytes", "", {}},
        {"one full line", "u|p|d|1.2.3.4\r\n", {{"u", "p", "d", "1.2.3.4", ""}}},
        {"empty IP", "u|p|d|\r\n", {{"u", "p", "d", "", ""}}},
        {"last line without CR LF",
         "a|b|c|\r\nu|p|d|9",
         {{"a", "b", "c", "", ""}, {"u", "p", "d", "9", ""}}},
        {"LF-only lines read as one line", "a|b|c|1\nu|p|d|2\n", {{"a", "b", "c", "", ""}}},
        {"five fields leave the IP empty", "u|p|d|ip|x\r\n", {{"u", "p", "d", "", ""}}},
        {"adjacent separators load an empty cell", "u||d|ip\r\n", {{"u", "", "d", "ip", ""}}},
        {"a zero byte ends the content",
         std::string("a|b|c|\r\nu|p\0|d|\r\nx|y|z|\r\n", 25),
         {{"a", "b", "c", "", ""}}},
        {"GBK character with second byte 0x7C", "\xD3|x|p|d|\r\n", {{"\xD3|x", "p", "d", "", ""}}},
        {"GBK texts", "用户|密码|域名.com|\r\n", {{"用户", "密码", "域名.com", "", ""}}},
        {"short lines are skipped, later lines kept",
         "a|b|c|\r\n\r\nno separator\r\nx|y\r\nu|p|d|ip\r\n",
         {{"a", "b", "c", "", ""}, {"u", "p", "d", "ip", ""}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(c.bytes), c.rows) << c.name;
    }
}

TEST_F(AccountFileTest, AbsentFileGivesAnEmptyList) {
    MemoryAccountList list;
    loadAccounts(list, dir.file("missing.ini"));
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(AccountFileTest, SavesColumnsZeroToThreeWithCrLfAndNeverTheStatus) {
    MemoryAccountList list;
    list.rows = {{"u", "p", "d", "1.2.3.4", "更新成功!"}, {"用户", "密|码", "域名", "", "x"}};
    saveAccounts(list, path);
    EXPECT_EQ(test::readFileBytes(path), "u|p|d|1.2.3.4\r\n用户|密|码|域名|\r\n");
}

TEST_F(AccountFileTest, EmptyListIsSavedAsAZeroByteFile) {
    test::writeFileBytes(path, "old|content|here|\r\n");
    MemoryAccountList list;
    saveAccounts(list, path);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(AccountFileTest, RoundTripKeepsEveryByteAndShiftsAUserNameHoldingASeparator) {
    MemoryAccountList saved;
    saved.rows = {{"\xD3|\x81\x30", "p\xB0\xA1", "d", "", "status"}, {"a|b", "p", "d", "ip", ""}};
    saveAccounts(saved, path);
    MemoryAccountList loaded;
    loadAccounts(loaded, path);
    // The first row comes back whole; "a|b" splits into five fields, which load as a|b|p.
    const std::vector<Row> expected = {{"\xD3|\x81\x30", "p\xB0\xA1", "d", "", ""},
                                       {"a", "b", "p", "", ""}};
    EXPECT_EQ(loaded.rows, expected);
}

}  // namespace
}  // namespace quorvel
