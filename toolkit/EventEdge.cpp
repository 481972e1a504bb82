#include "toolkit/EventEdge.h"

#include <QtGlobal>

#include <string>

namespace tarvex {

void reportUnhandledFailure(std::string_view event, std::string_view description) noexcept
{
    try {
        std::string line = std::string(event) + " failed: " + std::string(description);
        qWarning("%s", line.c_str());
    } catch (...) {
        // Out of memory while reporting: the event is dropped all the same.
    }
}

} // namespace tarvex
