// Fuzzes readArrayFile with arbitrary file contents.
//
// Reading never throws and never allocates beyond what the file can hold (the fuzzer's memory
// limit catches that). Whatever it loads into a dimensioned array must survive the writer: the
// write succeeds, and reading its file gives the same array again, element for element, with
// the same bounds and type words (floating-point values compared by their bits, decimals by
// their representation).

#include "core/VbError.h"
#include "store/ArrayFile.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using tarvex::VarArray;
using tarvex::Variant;
using tarvex::VarType;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "readArrayFile invariant broken: %s\n", what);
    std::abort();
}

// A folder of its own for the files of one run, removed when the run ends.
class ScratchFolder {
public:
    ScratchFolder()
    {
        // Every write is flushed to disk: a memory-backed folder keeps the runs fast.
        std::error_code noShm;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", noShm)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        m_path = base / "tarvex-fuzz-XXXXXX";
        if (!::mkdtemp(m_path.data()))
            fail("no scratch folder");
        m_path += "/";
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string file(const char *name) const { return m_path + name; }

private:
    std::string m_path;
};

void writeInput(const std::string &path, const uint8_t *data, size_t size)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        fail("cannot write the input file");
}

bool sameArray(const VarArray &a, const VarArray &b);

bool sameValue(const Variant &a, const Variant &b)
{
    if (a.typeWord() != b.typeWord())
        return false;
    if (a.isArray())
        return sameArray(a.array(), b.array());
    switch (a.type()) {
    case VarType::Single:
        return std::bit_cast<uint32_t>(a.asSingle()) == std::bit_cast<uint32_t>(b.asSingle());
    case VarType::Double:
        return std::bit_cast<uint64_t>(a.asDouble()) == std::bit_cast<uint64_t>(b.asDouble());
    case VarType::Decimal: return a.asDecimal().identicalTo(b.asDecimal());
    default: return a == b;
    }
}

bool sameArray(const VarArray &a, const VarArray &b)
{
    if (a.typeWord() != b.typeWord() || a.bounds() != b.bounds() || a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!sameValue(a.elements()[i], b.elements()[i]))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const ScratchFolder folder;
    static const std::string input = folder.file("input.dat");
    static const std::string again = folder.file("again.dat");
    writeInput(input, data, size);

    VarArray first;
    readArrayFile(input, first);
    if (!first.isDimensioned())
        return 0;
    try {
        writeArrayFile(again, first);
    } catch (const tarvex::VbError &e) {
        std::fprintf(stderr, "write failed: %d %s\n", e.number(), e.description().c_str());
        fail("what was read cannot be written");
    }
    VarArray second;
    readArrayFile(again, second);
    if (!sameArray(first, second))
        fail("reading the written file gives another array");
    return 0;
}
