// Opens the plug-in library that the outer project built and finds its entry point, through the
// interface headers as the outer project includes them.

#include "plugin/api/PlugInEntry.h"

#include <dlfcn.h>

#include <cstdio>

int main()
{
    void *library = ::dlopen(TARVEX_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "cannot open %s: %s\n", TARVEX_PLUGIN, ::dlerror());
        return 1;
    }
    if (!::dlsym(library, TARVEX_ENTRY_POINT)) {
        std::fprintf(stderr, "%s has no %s\n", TARVEX_PLUGIN, TARVEX_ENTRY_POINT);
        return 1;
    }
    std::printf("%s offers %s\n", TARVEX_PLUGIN, TARVEX_ENTRY_POINT);
    return 0;
}
