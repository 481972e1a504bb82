// The real plug-in library loaded, used, ended and unloaded, then loaded again in the same process
// at another address: what Qt keeps of the first copy (type descriptions) must stay valid.

#include "host/app/HostSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <link.h>
#include <sys/mman.h>

namespace tarvex::host {
namespace {

// Where a loaded library lies in memory: its lowest and highest mapped byte.
struct Span {
    uintptr_t begin = 0;
    uintptr_t end = 0;
};

Span spanOf(const QString &path)
{
    struct Search {
        std::string path;
        Span span;
    } search{QFileInfo(path).canonicalFilePath().toStdString(), {}};
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            auto *wanted = static_cast<Search *>(data);
            if (!info->dlpi_name || wanted->path != info->dlpi_name)
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr) &segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD)
                    continue;
                const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
                const uintptr_t end = begin + segment.p_memsz;
                if (!wanted->span.begin || begin < wanted->span.begin)
                    wanted->span.begin = begin;
                wanted->span.end = std::max(wanted->span.end, end);
            }
            return 1;
        },
        &search);
    return search.span;
}

// Keeps the address range free of new mappings while it lives, so that the next library loaded
// lands elsewhere. A range still in use is left alone.
class AddressReservation {
public:
    explicit AddressReservation(Span span)
    {
        const uintptr_t page = static_cast<uintptr_t>(::getpagesize());
        const uintptr_t begin = span.begin & ~(page - 1);
        m_size = span.end - begin;
        void *at = ::mmap(reinterpret_cast<void *>(begin), m_size, PROT_NONE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        m_at = at == MAP_FAILED ? nullptr : at;
    }
    ~AddressReservation()
    {
        if (m_at)
            ::munmap(m_at, m_size);
    }
    AddressReservation(const AddressReservation &) = delete;
    AddressReservation &operator=(const AddressReservation &) = delete;

private:
    void *m_at = nullptr;
    size_t m_size = 0;
};

// Starts the plug-in, opens its editor (which registers its types with Qt) and ends it again;
// returns where the library lay.
Span runOnce(const QString &library, const QString &project)
{
    HostSession session;
    session.start(library, project, HostSession::Show::Hidden);
    session.configure();
    const Span span = spanOf(library);
    session.shutdown();
    return span;
}

TEST(PlugInReload, theLibraryRunsAgainAfterItWasUnloaded)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = QStringLiteral(TARVEX_REAL_PLUGIN);
    const QString second = dir.filePath("libtarvex_plugin_again.so");
    ASSERT_TRUE(QFile::copy(first, second));
    const QString project = dir.filePath("show/show.tarvex");

    const Span firstSpan = runOnce(first, project);
    ASSERT_NE(firstSpan.begin, 0u);
    const AddressReservation elsewhere(firstSpan);
    const Span secondSpan = runOnce(second, project);
    EXPECT_NE(secondSpan.begin, firstSpan.begin);
    runOnce(first, project); // and the first name once more
}

} // namespace
} // namespace tarvex::host
