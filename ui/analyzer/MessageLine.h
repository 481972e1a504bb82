#pragma once
// The analyzer's text line of one decoded message:
//
//   /fader1,  i 3 f 0,5<TAB><CR><LF>
//
// the address, ", ", then for every type tag a blank, the tag, a blank and, for "i", "f" and
// "s", that argument's value as text (numbers in the system number format); then a tab and the
// line break. A message without type tags reads "/ping,  Empty <TAB><CR><LF>".

#include "osc/OSCMessages.h"

#include <string>

namespace tarvex {

// Appends the line of `message` to `pendingText`. A value that is missing or cannot be shown
// is left out of the line; the line is still added.
void formatMessageLine(const osc::OSCMessage &message, std::string &pendingText);

} // namespace tarvex
