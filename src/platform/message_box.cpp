// Routes message boxes to the handler that the front end (or a test) installed.
#include "platform/message_box.h"

#include <utility>

namespace quorvel {

namespace {
MessageBoxHandler& currentHandler() {
    static MessageBoxHandler handler;
    return handler;
}
}  // namespace

void showMessageBox(const Text& text, const Text& title, MessageIcon icon) {
    const MessageBoxHandler& handler = currentHandler();
    if (handler) {
        handler(MessageBoxRequest{text, title.empty() ? Text(kDefaultMessageTitle) : title, icon});
    }
}

MessageBoxHandler installMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(currentHandler(), std::move(handler));
}

}  // namespace quorvel
