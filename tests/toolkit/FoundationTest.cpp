// The foundation every window shares: the window registry and the host's window object, the
// Timer, the edge that keeps failures out of Qt's event loop, and the message-box services.

#include "core/VbError.h"
#include "tests/support/QtWait.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/Timer.h"
#include "toolkit/WindowObject.h"
#include "toolkit/WindowRegistry.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace tarvex::test {
namespace {

// A window that records its loads and unloads in a shared journal.
class JournalWindow : public FormWindow {
public:
    JournalWindow(std::vector<std::string> &journal, std::string name)
        : m_journal(journal), m_name(std::move(name))
    {}
    void Form_Load() override { m_journal.push_back("load " + m_name); }
    void Form_Unload() override { m_journal.push_back("unload " + m_name); }

private:
    std::vector<std::string> &m_journal;
    std::string m_name;
};

class RegistryTest : public ::testing::Test {
protected:
    WindowId add(const std::string &name)
    {
        return registry.add(name, [this, name] {
            ++created;
            return std::make_unique<JournalWindow>(journal, name);
        });
    }
    std::vector<std::string> journal;
    int created = 0;
    WindowRegistry registry;
};

TEST_F(RegistryTest, createsAndLoadsAWindowOnceOnTheFirstTouch)
{
    WindowId main = add("frmMainOSC");
    EXPECT_EQ(registry.loaded(main), nullptr);
    FormWindow &first = registry.load(main);
    FormWindow &again = registry.load(main);
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(journal, std::vector<std::string>{"load frmMainOSC"});
    EXPECT_FALSE(first.isVisible()) << "a window is loaded hidden";
    EXPECT_EQ(first.objectName(), "frmMainOSC");
}

TEST_F(RegistryTest, theObjectExistsWithoutLoadingAndOutlivesUnloading)
{
    WindowId main = add("frmMainOSC");
    std::shared_ptr<WindowObject> object = registry.object(main);
    EXPECT_EQ(created, 0) << "referring to the window object loads nothing";
    EXPECT_EQ(object->isOpen(), VFalse);

    EXPECT_EQ(object->loadWindow(), VFalse);
    EXPECT_EQ(object->isOpen(), VTrue);
    EXPECT_EQ(object->unloadWindow(), VFalse);
    EXPECT_EQ(object->isOpen(), VFalse);
    EXPECT_EQ(registry.loaded(main), nullptr);

    EXPECT_EQ(registry.object(main), object);
    object->showWindow();
    EXPECT_EQ(created, 2) << "a touch after unloading creates a fresh window";
    EXPECT_TRUE(registry.loaded(main)->isVisible());
    EXPECT_EQ(journal, (std::vector<std::string>{"load frmMainOSC", "unload frmMainOSC",
                                                 "load frmMainOSC"}));
}

TEST_F(RegistryTest, keepsTheLoadOrderAndComparesNamesWithoutCase)
{
    WindowId a = add("frmMainOSC");
    WindowId b = add("frmSettings");
    WindowId c = add("frmAnalyzer");
    registry.load(c);
    registry.load(a);
    registry.load(b);
    EXPECT_EQ(registry.loadOrder(), (std::vector<WindowId>{c, a, b}));
    registry.unload(a);
    EXPECT_EQ(registry.loadOrder(), (std::vector<WindowId>{c, b}));
    EXPECT_TRUE(registry.isOpen("FRMSETTINGS"));
    EXPECT_FALSE(registry.isOpen("frmMainOSC"));
    registry.unload(a); // unloading an unloaded window is harmless
    EXPECT_EQ(registry.loadOrder(), (std::vector<WindowId>{c, b}));
}

TEST_F(RegistryTest, aLoadHandlerThatTouchesItsOwnWindowFindsIt)
{
    WindowId self = 0;
    self = registry.add("frmMainOSC", [&] {
        struct Selfish : FormWindow {
            WindowRegistry &r;
            WindowId &id;
            Selfish(WindowRegistry &registry, WindowId &windowId) : r(registry), id(windowId) {}
            void Form_Load() override { r.load(id).setWindowTitle("touched"); }
        };
        ++created;
        return std::make_unique<Selfish>(registry, self);
    });
    EXPECT_EQ(registry.load(self).windowTitle(), "touched");
    EXPECT_EQ(created, 1);
}

TEST_F(RegistryTest, windowStateIsSetAndReadThroughTheObject)
{
    std::shared_ptr<WindowObject> object = registry.object(add("frmMainOSC"));
    object->showWindow();
    EXPECT_EQ(object->WindowState(), 0);
    object->SetWindowState(1);
    EXPECT_EQ(object->WindowState(), 1);
    object->SetWindowState(2);
    EXPECT_EQ(object->WindowState(), 2);
    object->hideWindow();
    EXPECT_FALSE(registry.load(0).isVisible());
    EXPECT_EQ(object->isOpen(), VTrue) << "a hidden window stays loaded";

    try {
        object->SetWindowState(3);
        FAIL() << "state 3 accepted";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 380);
    }
    try {
        object->SetWindowState(65537); // would wrap to 1 if narrowed blindly
        FAIL() << "a number beyond 16 bits accepted";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), errc::Overflow);
    }
}

TEST(WindowObjectTest, failsCleanlyOnceTheRegistryIsGone)
{
    std::vector<std::string> journal;
    std::shared_ptr<WindowObject> object;
    {
        WindowRegistry registry;
        WindowId id = registry.add(
            "frmMainOSC", [&] { return std::make_unique<JournalWindow>(journal, "main"); });
        object = registry.object(id);
        object->loadWindow();
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"load main", "unload main"}));
    try {
        object->showWindow();
        FAIL() << "a detached window object answered";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 91);
    }
}

TEST(TimerTest, enablingARunningTimerKeepsItsTick)
{
    int ticks = 0;
    Timer timer(nullptr, 5000, [&] { ++ticks; });
    EXPECT_FALSE(timer.enabled());
    timer.setEnabled(true);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return clock.elapsed() >= 40; }, 1000));
    timer.setEnabled(true);
    EXPECT_LE(timer.remainingMs(), 4970) << "enabling again restarted the interval";
    timer.setEnabled(false);
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(timer.remainingMs(), -1);
    EXPECT_EQ(ticks, 0);
}

TEST(TimerTest, aFailingHandlerEndsOnlyItsOwnTick)
{
    int ticks = 0;
    Timer timer(nullptr, 1, [&] {
        ++ticks;
        throw std::runtime_error("handler failed");
    });
    timer.setEnabled(true);
    EXPECT_TRUE(waitUntil([&] { return ticks >= 3; }, 5000))
        << "the timer stopped after a failing tick";
}

TEST(MessageBoxesTest, theConsoleServiceWritesOneLinePerBox)
{
    std::ostringstream out;
    ConsoleMessageBoxes boxes(out);
    boxes.show("Konnte Server nicht starten !!!\n\nFehler:\nAddress in use", MessageIcon::Critical);
    boxes.show("Hinweis", MessageIcon::Information, "Analyzer");
    EXPECT_EQ(out.str(), "[Tarvex, critical] Konnte Server nicht starten !!! |  | Fehler: | "
                         "Address in use\n[Analyzer, information] Hinweis\n");
}

} // namespace
} // namespace tarvex::test
