#pragma once
// A show for the real plug-in, written with the plug-in's own file writer: DMX channel targets
// as the host reads them (kind, label, note, universe, channel) and the settings with a server
// on 127.0.0.1.
//
//   writeShowSettings(folder, port);
//   writeShowActions(folder, table({faderRow("/fader1", "Fader", 7, 1)}));

#include "core/VarArray.h"
#include "store/ArrayFile.h"
#include "tests/support/ActionRows.h"

#include <cstdint>
#include <string>

namespace tarvex::test {

inline VarArray dmxChannel(const std::string &label, int32_t channel)
{
    return VarArray::ofValues(
        {Variant("DMX"), Variant(label), Variant(""), Variant::byte(1), Variant(channel)});
}

// One float argument under one condition: 0..1 scaled to 0..255 on the channel.
inline Variant faderRow(const std::string &address, const std::string &label, int32_t channel,
                        int32_t id, const std::string &op = "any", const std::string &compare = "-")
{
    return actionRow(address, {"f"},
                     {{condition(op, range(compare, "0", "1"), dmxChannel(label, channel))}}, id);
}

inline VarArray showSettings(uint16_t port, int32_t autostart = 1)
{
    const std::string text = std::to_string(port);
    return VarArray::ofValues({Variant("Version 3"), Variant("127.0.0.1"), Variant(text),
                               Variant("127.0.0.1"), Variant(text), Variant::integer(autostart)});
}

inline void writeShowSettings(const std::string &folder, uint16_t port)
{
    writeArrayFile(folder + "/TarvexSettings.dat", showSettings(port));
}

inline void writeShowActions(const std::string &folder, const VarArray &rows)
{
    writeArrayFile(folder + "/TarvexActions.dat", rows);
}

} // namespace tarvex::test
