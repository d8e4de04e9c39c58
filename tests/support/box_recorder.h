// Records the message boxes that the program asks for while it lives, instead of showing them.
#pragma once

#include <vector>

#include "platform/message_box.h"

namespace quorvel::test {

class BoxRecorder {
  public:
    BoxRecorder()
        : previous_(installMessageBoxHandler(
              [this](const MessageBoxRequest& request) { boxes.push_back(request); })) {}
    ~BoxRecorder() { installMessageBoxHandler(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<MessageBoxRequest> boxes;

  private:
    MessageBoxHandler previous_;
};

}  // namespace quorvel::test
