// The add, delete and clear commands on a plain account list, with the message box seam watched.
#include "ui/editing_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/program.h"
#include "platform/message_box.h"
#include "support/box_recorder.h"
#include "support/memory_account_list.h"
#include "support/temp_dir.h"

namespace quorvel {
namespace {

using test::MemoryAccountList;
using Row = MemoryAccountList::Row;

class EditingCommandsTest : public ::testing::Test {
  protected:
    void TearDown() override { publicIpText.clear(); }

    // Runs the add command on these box texts, recording which boxes it read.
    void add(std::map<EntryBox, Text> texts) {
        addAccount(list, [&](EntryBox box) {
            read.push_back(box);
            return texts[box];
        });
    }

    MemoryAccountList list;
    test::BoxRecorder recorder;
    std::vector<MessageBoxRequest>& boxes = recorder.boxes;
    std::vector<EntryBox> read;
};

TEST_F(EditingCommandsTest, AddFillsTheRowAndShowsTheAddressItStandsFor) {
    struct Case {
        const char* name;
        Text publicIp;
        Text ip;
        Row row;
    };
    const Case cases[] = {
        {"IP typed", "203.0.113.9", "192.0.2.1", {"u", "p", "d", "192.0.2.1", "192.0.2.1"}},
        {"no IP, address known", "203.0.113.9", "", {"u", "p", "d", "", "203.0.113.9"}},
        {"no IP, lookup failed", "", "", {"u", "p", "d", "", ""}},
        {"address kept as received", "203.0.113.9\r\n", "", {"u", "p", "d", "", "203.0.113.9\r\n"}},
    };
    for (const Case& c : cases) {
        list.rows.clear();
        publicIpText = c.publicIp;
        add({{EntryBox::UserName, "u"},
             {EntryBox::Password, "p"},
             {EntryBox::Domain, "d"},
             {EntryBox::Ip, c.ip}});
        EXPECT_EQ(list.rows, std::vector<Row>{c.row}) << c.name;
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EditingCommandsTest, AnEmptyRequiredBoxStopsTheCheckThereWithTheErrorBox) {
    struct Case {
        const char* name;
        std::map<EntryBox, Text> texts;
        std::vector<EntryBox> read;
    };
    const Case cases[] = {
        {"all empty", {}, {EntryBox::UserName}},
        {"no password",
         {{EntryBox::UserName, "u"}, {EntryBox::Domain, "d"}, {EntryBox::Ip, "1.2.3.4"}},
         {EntryBox::UserName, EntryBox::Password}},
        {"no domain",
         {{EntryBox::UserName, "u"}, {EntryBox::Password, "p"}},
         {EntryBox::UserName, EntryBox::Password, EntryBox::Domain}},
    };
    for (const Case& c : cases) {
        boxes.clear();
        read.clear();
        add(c.texts);
        EXPECT_EQ(read, c.read) << c.name;
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].text, "用户名密码或域名未填写！");
        EXPECT_EQ(boxes[0].title, "请填写完整！");
        EXPECT_EQ(boxes[0].icon, MessageIcon::Error);
    }
    EXPECT_TRUE(list.rows.empty());
}

TEST_F(EditingCommandsTest, SpacesCountAsFilledAndTwoClicksAddTwoEqualRows) {
    const std::map<EntryBox, Text> texts{
        {EntryBox::UserName, " "}, {EntryBox::Password, "a|b"}, {EntryBox::Domain, "  "}};
    add(texts);
    add(texts);
    const Row row{" ", "a|b", "  ", "", ""};
    EXPECT_EQ(list.rows, (std::vector<Row>{row, row}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EditingCommandsTest, DeleteRemovesTheSelectedRowOnly) {
    list.rows = {{"a"}, {"b"}, {"c"}};
    deleteSelectedAccount(list);  // nothing selected
    EXPECT_EQ(list.rowCount(), 3);
    list.selected = 1;
    deleteSelectedAccount(list);
    EXPECT_EQ(list.rows, (std::vector<Row>{{"a"}, {"c"}}));
    EXPECT_EQ(list.selectedRow(), -1);
    deleteSelectedAccount(list);
    EXPECT_EQ(list.rowCount(), 2);
}

TEST_F(EditingCommandsTest, ClearEmptiesTheListAndDeletesTheFileWhateverItsState) {
    test::TempDir dir;
    const std::string file = dir.file("peizhi.ini");
    test::writeFileBytes(file, "a|b|c|\r\n");
    list.rows = {{"a", "b", "c"}};
    clearAccounts(list, file);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
    clearAccounts(list, file);  // already gone: no error, no box
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace quorvel
