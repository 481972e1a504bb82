#pragma once
// The one rule for a port typed into a window: a whole number from 1 to 65535, blanks around it
// allowed (common OSC ports such as 53000 and 57120 lie above 32767). Every place that binds a
// socket to a typed port goes through it: the main window's start and reconnection attempts,
// and the editor's learn mode.
//
//   uint16_t port = portFromText(Port->text().toStdString());   // "abc" raises error 380

#include <cstdint>
#include <string_view>

namespace tarvex {

// Error number of a port text that is no port (the socket's "invalid property value").
inline constexpr int32_t InvalidPortError = 380;

// The port the text names; raises VbError(InvalidPortError) with a description naming the text
// for letters, fractions, signs, exponents, 0 and numbers above 65535.
uint16_t portFromText(std::string_view text);

} // namespace tarvex
