#pragma once
// Helpers of the store tests: a fresh folder per test, and file bytes spelled out field by field
// (little-endian), independent of the program's own writer.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::test {

class TempFolder {
public:
    // A fresh folder in `base`: the system's temporary folder unless a test asks for another
    // (a memory file system where a test writes and syncs files many hundred times).
    explicit TempFolder(const std::filesystem::path &base = std::filesystem::temp_directory_path())
    {
        std::string pattern = base / "tarvex-store-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    std::string path(std::string_view name) const { return (m_path / name).string(); }
    std::string folder() const { return m_path.string() + "/"; }
    // Every name in the folder, to prove that no temporary file is left behind.
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto &entry : std::filesystem::directory_iterator(m_path))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    std::filesystem::path m_path;
};

using ByteVector = std::vector<uint8_t>;

struct Bytes {
    ByteVector data;

    Bytes &u8(uint8_t v)
    {
        data.push_back(v);
        return *this;
    }
    Bytes &u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes &i32(int32_t v)
    {
        auto u = static_cast<uint32_t>(v);
        return u16(u & 0xFFFF).u16(u >> 16);
    }
    // A 16-bit length and the bytes as given (already in the file's code page).
    Bytes &text(std::string_view codePageBytes)
    {
        u16(static_cast<uint16_t>(codePageBytes.size()));
        data.insert(data.end(), codePageBytes.begin(), codePageBytes.end());
        return *this;
    }
    Bytes &string(std::string_view codePageBytes) { return u16(0x0008).text(codePageBytes); }
    // A one-dimensional nested array header: type word, one dimension, count, lower bound.
    Bytes &array(uint16_t typeWord, int32_t count, int32_t lower = 0)
    {
        return u16(typeWord).u16(1).i32(count).i32(lower);
    }
    // The top-level header of a one-dimensional array.
    Bytes &header(int32_t lower, int32_t upper) { return u16(1).i32(lower).i32(upper); }
};

inline void writeFile(const std::string &path, const ByteVector &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline ByteVector readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace tarvex::test
