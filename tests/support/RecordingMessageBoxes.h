#pragma once
// A message-box service that records every box instead of showing it: nothing in a test waits
// for a user.

#include "toolkit/MessageBoxes.h"

#include <string>
#include <vector>

namespace tarvex::test {

struct ShownBox {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    void show(const std::string &text, MessageIcon icon, const std::string &title) override
    {
        boxes.push_back({text, icon, title});
        if (onShow)
            onShow(boxes.back());
    }
    std::vector<ShownBox> boxes;
    // Runs while the box is "open", as a modal box's nested event loop would.
    std::function<void(const ShownBox &)> onShow;
};

} // namespace tarvex::test
