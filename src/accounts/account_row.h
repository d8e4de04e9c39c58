// One account as the list shows it: five texts in column order, and the columns' definitions.
#pragma once

#include <array>

#include "platform/text.h"

namespace quorvel {

enum AccountColumn : int { UserName = 0, Password = 1, Domain = 2, Ip = 3, Status = 4 };

inline constexpr int kAccountColumnCount = 5;

struct AccountRow {
    Text userName;
    Text password;
    Text domain;
    Text ip;      // empty stands for the machine's own address
    Text status;  // shown to the user, never saved
};

struct ColumnDefinition {
    const char* title;
    int width;  // pixels; every column is left-aligned
};

inline constexpr std::array<ColumnDefinition, kAccountColumnCount> kAccountColumns{{
    {"用户名", 100},
    {"密码", 100},
    {"域名", 100},
    {"IP", 90},
    {"更新状态", 90},
}};

}  // namespace quorvel
