// Fuzzes the import of actions as JSON text (the JSON reader with it).
//
// An import never throws: it gives a table or errors, never both, never neither. A table it gives
// exports to a text that imports again to the same export (the round trip holds for everything
// an import accepts).

#include "store/ArrayCodec.h"
#include "ui/editor/ActionsJson.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "actions JSON invariant broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const tarvex::ActionsImportRules rules{.storedText = tarvex::arraycodec::whyTextCannotBeStored};
    const tarvex::ActionsImport read = tarvex::importActionsJson(text, rules);
    if (read.table.has_value() == !read.errors.empty())
        fail("a table and errors, or neither");
    if (read.table) {
        const std::string once = tarvex::exportActionsJson(*read.table);
        const tarvex::ActionsImport again = tarvex::importActionsJson(once, rules);
        if (!again.table || tarvex::exportActionsJson(*again.table) != once)
            fail("an accepted text does not survive export and import");
    }
    return 0;
}
