#pragma once
// What a settings save reads from the windows: the five boxes the settings come from. The
// plug-in implements it with the real forms; tests implement it with a fake.

#include <cstdint>
#include <string>

namespace tarvex {

class SettingsBoxes {
public:
    virtual ~SettingsBoxes() = default;

    virtual std::string mainAddress() = 0;   // main window IP
    virtual std::string mainPort() = 0;      // main window Port
    virtual int16_t autostartValue() = 0;    // main window chkAutostart (0 or 1)
    virtual std::string editorAddress() = 0; // editor IP (loads the editor window)
    virtual std::string editorPort() = 0;    // editor Port
};

} // namespace tarvex
