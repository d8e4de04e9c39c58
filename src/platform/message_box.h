// The message box seam: every box the program shows goes through showMessageBox, and the front end
// installs the handler that draws it. Tests install their own to see which box was asked for.
#pragma once

#include <functional>

#include "platform/text.h"

namespace quorvel {

enum class MessageIcon { Error, Information };

struct MessageBoxRequest {
    Text text;
    Text title;
    MessageIcon icon;
};

inline constexpr char kDefaultMessageTitle[] = "信息：";

// A box with one OK button, no owner, modal for the UI thread; returns when the user closed it.
// An empty title gives the default title. Never call it from a worker thread.
void showMessageBox(const Text& text, const Text& title, MessageIcon icon);

using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;
// Installs the handler that shows boxes and returns the one it replaces.
MessageBoxHandler installMessageBoxHandler(MessageBoxHandler handler);

}  // namespace quorvel
