#pragma once
// clsZelmoPlugIn as a host sees it, and the one C entry point of the plug-in's shared library
// that creates it. A host loads the library (dlopen or QLibrary), resolves TARVEX_ENTRY_POINT and
// calls it once; the object it returns is the host's to delete, after Term.
//
//   auto create = reinterpret_cast<tarvex::CreatePlugInFunction>(lib.resolve(TARVEX_ENTRY_POINT));
//   std::unique_ptr<tarvex::IPlugInClass> plugIn(create());
//   plugIn->plugin().Init("Host", "", helper);
//
// The host and the plug-in must be built with the same compiler and C++ library, as with any
// C++ interface across a shared library.

#include "plugin/api/PlugInInterfaces.h"

namespace tarvex {

class IPlugInClass {
public:
    virtual ~IPlugInClass() = default;
    // The class's default interface.
    virtual std::string PluginName() = 0;
    // The class's other interfaces.
    virtual IZelmoPlugin &plugin() = 0;
    virtual IZelmoModule &module() = 0;
};

using CreatePlugInFunction = IPlugInClass *(*)();

} // namespace tarvex

#define TARVEX_ENTRY_POINT "tarvexCreatePlugIn"
