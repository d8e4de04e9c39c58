// The main window's layout, colours and texts: one table that every front end builds from.
#pragma once

#include <array>
#include <cstdint>

#include "ui/editing_commands.h"

namespace quorvel {

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

enum class ControlKind { ReportList, GroupBox, Label, EntryBox, PushButton };

enum class ControlId {
    AccountList,    // 超级列表框1
    EntryGroup,     // 分组框1
    UserNameLabel,  // 标签1
    UserNameBox,    // 编辑框_用户名
    PasswordLabel,  // 标签2
    PasswordBox,    // 编辑框_密码
    DomainLabel,    // 标签3
    DomainBox,      // 编辑框_域名
    IpLabel,        // 标签4
    IpBox,          // 编辑框_IP
    AddButton,      // 按钮1
    UpdateButton,   // 按钮2
};

struct ControlDefinition {
    ControlId id;
    const char* name;  // the control's name, also its object name for tests and accessibility
    ControlKind kind;
    bool inGroup;      // a child of 分组框1 rather than of the window
    Rect rect;         // relative to the parent's client area
    const char* text;  // text at creation
};

// In creation order, which is also the order in which Tab moves the focus.
inline constexpr std::array<ControlDefinition, 12> kControls{{
    {ControlId::AccountList, "超级列表框1", ControlKind::ReportList, false, {6, 7, 500, 355}, ""},
    {ControlId::EntryGroup, "分组框1", ControlKind::GroupBox, false, {512, 1, 120, 223}, ""},
    {ControlId::UserNameLabel, "标签1", ControlKind::Label, true, {12, 14, 40, 20}, "用户名"},
    {ControlId::UserNameBox, "编辑框_用户名", ControlKind::EntryBox, true, {12, 36, 95, 20}, ""},
    {ControlId::PasswordLabel, "标签2", ControlKind::Label, true, {12, 58, 40, 20}, "密码"},
    {ControlId::PasswordBox, "编辑框_密码", ControlKind::EntryBox, true, {12, 80, 95, 20}, ""},
    {ControlId::DomainLabel, "标签3", ControlKind::Label, true, {12, 102, 40, 20}, "域名"},
    {ControlId::DomainBox, "编辑框_域名", ControlKind::EntryBox, true, {12, 124, 95, 20}, ""},
    {ControlId::IpLabel, "标签4", ControlKind::Label, true, {12, 146, 100, 20}, "IP(不填为本机IP)"},
    {ControlId::IpBox, "编辑框_IP", ControlKind::EntryBox, true, {12, 168, 95, 20}, ""},
    {ControlId::AddButton, "按钮1", ControlKind::PushButton, true, {20, 194, 80, 20}, "添加"},
    {ControlId::UpdateButton,
     "按钮2",
     ControlKind::PushButton,
     false,
     {532, 231, 80, 20},
     "一键更新"},
}};

// The entry box that holds each text of the add command.
constexpr ControlId controlOf(EntryBox box) {
    switch (box) {
        case EntryBox::UserName:
            return ControlId::UserNameBox;
        case EntryBox::Password:
            return ControlId::PasswordBox;
        case EntryBox::Domain:
            return ControlId::DomainBox;
        case EntryBox::Ip:
            break;
    }
    return ControlId::IpBox;
}

inline constexpr char kWindowName[] = "MainWindow";
inline constexpr char kWindowCaption[] = "Quorvel V1.0 by the Quorvel developers";
inline constexpr int kWindowOuterWidth = 643;
inline constexpr int kWindowOuterHeight = 418;
inline constexpr int kIpBoxMaxLength = 15;

// Colours as 0xRRGGBB.
inline constexpr std::uint32_t kWindowBackground = 0x0088FF;
inline constexpr std::uint32_t kLabelText = 0xFFFF00;
inline constexpr std::uint32_t kListText = 0xFFFF00;
inline constexpr std::uint32_t kListBackground = 0x0000FF;

// The list's popup menu: the hidden top-level menu and its items, in order.
inline constexpr char kPopupMenuName[] = "listPopupMenu";
inline constexpr char kPopupMenuTitle[] = "菜单";
inline constexpr char kDeleteItemText[] = "删除";
inline constexpr char kClearItemText[] = "清空";
inline constexpr int kPopupOffset = 3;  // pixels right of and below the pointer

// Left and top of a window of the outer size centred on a screen.
constexpr int centredLeft(int screenWidth) {
    return (screenWidth - kWindowOuterWidth) / 2;
}
constexpr int centredTop(int screenHeight) {
    return (screenHeight - kWindowOuterHeight) / 2;
}

}  // namespace quorvel
