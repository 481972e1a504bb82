// The plug-in library's one exported symbol: the host resolves it by name and calls it once.

#include "plugin/clsZelmoPlugIn.h"

extern "C" __attribute__((visibility("default"))) tarvex::IPlugInClass *tarvexCreatePlugIn()
{
    return new tarvex::clsZelmoPlugIn();
}
