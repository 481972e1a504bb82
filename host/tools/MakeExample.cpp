// tarvex-make-example: writes the example show's plug-in files with the plug-in's own file
// writer, so the example always holds what the plug-in would have saved itself.
//
//   tarvex-make-example examples/show
//
// The folder gets "TarvexActions.dat" (six actions on universe 1) and "TarvexSettings.dat"
// (listening on 127.0.0.1:12345, autostart on). Channels: /fader1 f scaled to channel 7,
// /button i (1 = pressed) to channel 12, /level f above one half to channel 8, every beat
// on /beat f (a value smaller than the one before) to channel 9, /dimmer f to channel 13 on a
// square (dimmer) curve that glides over 300 ms, and /pan f as a 16-bit level on channels 14
// (coarse) and 15 (fine).

#include "core/VarArray.h"
#include "core/VbError.h"
#include "store/ArrayFile.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace tarvex;

namespace {

VarArray texts(const std::vector<std::string> &values)
{
    return VarArray::ofValues(std::vector<Variant>(values.begin(), values.end()));
}

// A DMX channel of the host (docs/host.md): kind, label, options, universe, channel.
VarArray channel(const std::string &label, int32_t number, const std::string &kind = "DMX",
                 const std::string &options = "")
{
    return VarArray::ofValues(
        {Variant(kind), Variant(label), Variant(options), Variant::byte(1), Variant(number)});
}

// A row with one argument of one kind, as the editor stores it: that argument's condition is
// the only one, in the first (and only) kind's list.
Variant action(const std::string &address, const std::string &tag, const std::string &op,
               const std::vector<std::string> &parameters, VarArray target, int32_t id)
{
    Variant condition(
        VarArray::ofValues({Variant(op), Variant(texts(parameters)), Variant(std::move(target))}));
    VarArray conditions = VarArray::ofValues({Variant(VarArray::ofValues({condition}))});
    return Variant(
        VarArray::ofValues({Variant(address), Variant(VarArray::ofStrings({tag})),
                            Variant(std::move(conditions)), Variant(id), Variant("Activated")}));
}

VarArray exampleActions()
{
    // Columns: compare value, inMin, inMax, outMin, outMax, Min, Max.
    return VarArray::ofValues({
        action("/fader1", "f", "any", {"-", "0", "1", "0", "255", "0", "255"},
               channel("Fader 1", 7), 1001),
        action("/button", "i", "=", {"1", "0", "1", "0", "255", "0", "255"}, channel("Button", 12),
               1002),
        action("/level", "f", ">", {"0.5", "0", "1", "0", "255", "0", "255"},
               channel("Level above half", 8), 1003),
        action("/beat", "f", "=", {"NumarkBeat", "-", "-", "-", "-", "-", "-"}, channel("Beat", 9),
               1004),
        action("/dimmer", "f", "any", {"-", "0", "1", "0", "255", "0", "255"},
               channel("Dimmer", 13, "DMX", "curve=square;fade=300"), 1005),
        // Min and Max span the whole output range, so the pan keeps its 16-bit steps.
        action("/pan", "f", "any", {"-", "0", "1", "0", "65535", "0", "65535"},
               channel("Pan", 14, "DMX16"), 1006),
    });
}

VarArray exampleSettings()
{
    return VarArray::ofValues({Variant("Version 3"), Variant("127.0.0.1"), Variant("12345"),
                               Variant("127.0.0.1"), Variant("12345"), Variant::integer(1)});
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: tarvex-make-example FOLDER\n";
        return 2;
    }
    try {
        std::filesystem::create_directories(argv[1]);
        const std::string folder = std::string(argv[1]) + "/";
        writeArrayFile(folder + "TarvexActions.dat", exampleActions());
        writeArrayFile(folder + "TarvexSettings.dat", exampleSettings());
    } catch (const std::exception &e) {
        std::cerr << "tarvex-make-example: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
