#pragma once
// The benchmarks' show: a folder with the plug-in's files, a free UDP port on 127.0.0.1.

#include "tests/support/FreePort.h"

#include <cstdint>
#include <string>

namespace tarvex::bench {

using test::freeUdpPort;

// A fresh temporary folder holding the example show's rows (/fader1 f 0..1 to universe 1
// channel 7, ...) with the server on the port and autostart on; returns the project file.
std::string writeExampleShow(uint16_t port);

// The same with `rows` fader rows (/fader/1 f ... /fader/N f, on the channels of universe 1
// in turn), written by the plug-in's own writer.
std::string writeLargeShow(uint16_t port, int rows);

} // namespace tarvex::bench
