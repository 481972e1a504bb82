#pragma once
// Recording fakes of the host's objects. Every call lands in one shared HostLog, in order, as a
// line such as "UserInteraction" or "Execute 128 0 255", so a test can compare the whole road
// from datagram to host with one EXPECT_EQ.

#include "core/Conversions.h"
#include "core/VbError.h"
#include "plugin/api/HostInterfaces.h"
#include "plugin/api/ListWidget.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvex::test {

struct HostLog {
    std::vector<std::string> calls;
    // Runs after every call is logged: lets a test act inside a host call (spin the event loop,
    // unload a window, throw) the way a real host may.
    std::function<void(const std::string &)> onCall;
    void add(std::string line)
    {
        calls.push_back(std::move(line));
        if (onCall)
            onCall(calls.back());
    }
    void clear() { calls.clear(); }
};

class FakeHostTarget : public IHostTarget {
public:
    FakeHostTarget(std::shared_ptr<HostLog> log, Variant t0, Variant t1, Variant t2, uint8_t t3,
                   int32_t t4)
        : m_log(std::move(log)), m_t0(std::move(t0)), m_t1(std::move(t1)), m_t2(std::move(t2)),
          m_t3(t3), m_t4(t4)
    {}
    void Execute(int32_t &value, int32_t &min, int32_t &max, const Variant &stream) override
    {
        m_log->add("Execute " + toText(m_t0) + " " + std::to_string(value) + " " +
                   std::to_string(min) + " " + std::to_string(max) +
                   (stream.isObject() && stream.asObject() ? "" : " without stream"));
    }
    Variant T1() override { return m_t1; }
    uint8_t T3() override { return m_t3; }
    Variant T0() override { return m_t0; }
    int32_t T4() override { return m_t4; }
    Variant T2() override { return m_t2; }

private:
    std::shared_ptr<HostLog> m_log;
    Variant m_t0, m_t1, m_t2;
    uint8_t m_t3;
    int32_t m_t4;
};

class FakeTargetFactory : public ITargetFactory {
public:
    explicit FakeTargetFactory(std::shared_ptr<HostLog> log) : m_log(std::move(log)) {}

    // The target columns SetupList adds to an IListWidget (none unless a test names some).
    std::vector<std::string> listColumns;
    // ShowTargetInRow writes the target's first value into the first target column.
    bool drawTargets = false;
    // CreateTarget raises error 5 for targets whose first value has this text.
    std::string failingTarget = "\x01none";

    void SetupList(const ObjectPtr &list) override
    {
        m_log->add("SetupList");
        if (auto widget = std::dynamic_pointer_cast<IListWidget>(list))
            for (const std::string &header : listColumns)
                widget->addColumn(header, 1200);
    }
    void ReleaseTarget(const HostTargetPtr &target) override
    {
        m_log->add("ReleaseTarget " + toText(target->T0()));
    }
    void BeginCellEdit(const HostTargetPtr &, const ObjectPtr &, int16_t column) override
    {
        m_log->add("BeginCellEdit " + std::to_string(column));
    }
    void EndCellEdit(const HostTargetPtr &, const ObjectPtr &, int16_t column) override
    {
        m_log->add("EndCellEdit " + std::to_string(column));
    }
    HostTargetPtr CreateTarget(const Variant &t0, const Variant &t1, const Variant &t2, uint8_t t3,
                               int32_t t4) override
    {
        m_log->add("CreateTarget " + toText(t0) + " " + toText(t1) + " " + toText(t2) + " " +
                   std::to_string(t3) + " " + std::to_string(t4));
        if (toText(t0) == failingTarget)
            raise(errc::InvalidProcedureCall);
        return std::make_shared<FakeHostTarget>(m_log, t0, t1, t2, t3, t4);
    }
    ObjectPtr ShowTargetInRow(const HostTargetPtr &target, const ObjectPtr &row,
                              int16_t column) override
    {
        m_log->add("ShowTargetInRow " + std::to_string(column));
        if (auto listRow = std::dynamic_pointer_cast<IListRow>(row); listRow && drawTargets)
            listRow->setSubItem(column, toText(target->T0()));
        return row;
    }

private:
    std::shared_ptr<HostLog> m_log;
};

// An object answering one by-name member with a fixed value (after logging the call).
class FakeByNameObject : public Object {
public:
    FakeByNameObject(std::shared_ptr<HostLog> log, std::string member, Variant result, bool logged)
        : m_log(std::move(log)), m_member(std::move(member)), m_result(std::move(result)),
          m_logged(logged)
    {}
    Variant callByName(std::string_view member, std::span<const Variant> arguments) override
    {
        if (member != m_member)
            return Object::callByName(member, arguments);
        if (m_logged)
            m_log->add(m_member);
        if (onCall)
            onCall();
        return m_result;
    }
    void setResult(Variant result) { m_result = std::move(result); }
    // What the host does besides, for tests of hosts that call back into the plug-in.
    std::function<void()> onCall;

private:
    std::shared_ptr<HostLog> m_log;
    std::string m_member;
    Variant m_result;
    bool m_logged;
};

class FakeOptionList : public IOptionList {
public:
    void AddEntry(const std::string &caption, const std::string &value) override
    {
        entries.emplace_back(caption, value);
    }
    std::vector<std::pair<std::string, std::string>> entries;
};

// The host helper: by name it offers Project (-> BaseFilename) and MyStream
// (-> UserInteraction); its typed view gives the target factory.
class FakeHostHelper : public Object, public IHostModule {
public:
    explicit FakeHostHelper(std::shared_ptr<HostLog> sharedLog = std::make_shared<HostLog>())
        : log(std::move(sharedLog)), factory(std::make_shared<FakeTargetFactory>(log)),
          stream(std::make_shared<FakeByNameObject>(log, "UserInteraction", Variant(), true)),
          project(std::make_shared<FakeByNameObject>(log, "BaseFilename", Variant(""), false))
    {}

    void setBaseFilename(const std::string &path) { project->setResult(Variant(path)); }

    Variant callByName(std::string_view member, std::span<const Variant> arguments) override
    {
        if (member == "Project")
            return Variant(ObjectPtr(project));
        if (member == "MyStream")
            return Variant(ObjectPtr(stream));
        return Object::callByName(member, arguments);
    }
    TargetFactoryPtr GetTargetFactory() override { return factory; }
    OptionListPtr NewOptionList() override { return std::make_shared<FakeOptionList>(); }
    ModuleInfoPtr NewModuleInfo() override { return nullptr; }

    std::shared_ptr<HostLog> log;
    std::shared_ptr<FakeTargetFactory> factory;
    std::shared_ptr<FakeByNameObject> stream;
    std::shared_ptr<FakeByNameObject> project;
};

} // namespace tarvex::test
