#pragma once
// MessageBoxes: the one way the plug-in shows a message to the user. The plug-in's windows hold
// the service of their runtime and never open a box of their own:
//   - QtMessageBoxes: a modal box (it runs a nested event loop until the user closes it);
//   - HostFirstMessageBoxes: offers the text to the host first (IHostMessageBoxes on the host's
//     helper) and shows a box of its own only when the host does not take it;
//   - ConsoleMessageBoxes: one line on a stream, for a host that runs without a screen;
//   - tests record the boxes instead (tests/support/RecordingMessageBoxes.h), so nothing in a
//     test ever waits for a user.
//
//   runtime.messageBoxes().show("Konnte Server nicht starten !!!", MessageIcon::Critical);

#include "core/Object.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace tarvex {

// The title of a box that names none.
inline constexpr std::string_view ApplicationTitle = "Tarvex";

enum class MessageIcon { None, Critical, Exclamation, Information };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the text (lines separated by '\n') and returns when the user has closed the box.
    // An empty title stands for ApplicationTitle.
    virtual void show(const std::string &text, MessageIcon icon, const std::string &title = {}) = 0;
};

class QtMessageBoxes : public MessageBoxes {
public:
    void show(const std::string &text, MessageIcon icon, const std::string &title = {}) override;
};

class ConsoleMessageBoxes : public MessageBoxes {
public:
    // Borrows the stream; it must outlive the service.
    explicit ConsoleMessageBoxes(std::ostream &out);
    void show(const std::string &text, MessageIcon icon, const std::string &title = {}) override;

private:
    std::ostream &m_out;
};

class HostFirstMessageBoxes : public MessageBoxes {
public:
    // `helper` gives the host's helper at the time of the box (empty before Init); `own` shows
    // the boxes the host leaves to the plug-in.
    HostFirstMessageBoxes(std::function<ObjectPtr()> helper, std::unique_ptr<MessageBoxes> own);
    void show(const std::string &text, MessageIcon icon, const std::string &title = {}) override;

private:
    std::function<ObjectPtr()> m_helper;
    std::unique_ptr<MessageBoxes> m_own;
};

} // namespace tarvex
