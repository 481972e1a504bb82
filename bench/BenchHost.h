#pragma once
// The least host a benchmark needs: a helper whose stream does nothing on UserInteraction,
// whose project lies where the benchmark says, and whose factory makes targets that hand the
// executed value to one function. The function is a template argument, so the call stays as
// cheap as the benchmark's own code.
//
//   struct Keep { static void executed(int32_t v) { benchmark::DoNotOptimize(v); } };
//   state.hostHelper = std::make_shared<BenchHelper<Keep>>();

#include "plugin/api/HostInterfaces.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::bench {

template <class OnExecute> class BenchTarget : public IHostTarget {
public:
    void Execute(int32_t &value, int32_t &, int32_t &, const Variant &) override
    {
        OnExecute::executed(value);
    }
    Variant T1() override { return {}; }
    uint8_t T3() override { return 0; }
    Variant T0() override { return {}; }
    int32_t T4() override { return 0; }
    Variant T2() override { return {}; }
};

template <class OnExecute> class BenchFactory : public ITargetFactory {
public:
    void SetupList(const ObjectPtr &) override {}
    void ReleaseTarget(const HostTargetPtr &) override {}
    void BeginCellEdit(const HostTargetPtr &, const ObjectPtr &, int16_t) override {}
    void EndCellEdit(const HostTargetPtr &, const ObjectPtr &, int16_t) override {}
    HostTargetPtr CreateTarget(const Variant &, const Variant &, const Variant &, uint8_t,
                               int32_t) override
    {
        return std::make_shared<BenchTarget<OnExecute>>();
    }
    ObjectPtr ShowTargetInRow(const HostTargetPtr &, const ObjectPtr &row, int16_t) override
    {
        return row;
    }
};

// By name: "BaseFilename" gives the path it was made with; everything else (UserInteraction on
// the stream) does nothing.
class BenchByName : public Object {
public:
    explicit BenchByName(std::string baseFilename = {}) : m_baseFilename(std::move(baseFilename)) {}
    Variant callByName(std::string_view member, std::span<const Variant>) override
    {
        return member == "BaseFilename" ? Variant(m_baseFilename) : Variant();
    }

private:
    std::string m_baseFilename;
};

template <class OnExecute> class BenchHelper : public Object, public IHostModule {
public:
    // The project's base file name; the plug-in's files live in its folder.
    explicit BenchHelper(std::string projectFile = {})
        : m_project(std::make_shared<BenchByName>(std::move(projectFile)))
    {}
    Variant callByName(std::string_view member, std::span<const Variant> arguments) override
    {
        if (member == "MyStream")
            return Variant(m_stream);
        if (member == "Project")
            return Variant(m_project);
        return Object::callByName(member, arguments);
    }
    TargetFactoryPtr GetTargetFactory() override { return m_factory; }
    OptionListPtr NewOptionList() override { return nullptr; }
    ModuleInfoPtr NewModuleInfo() override { return nullptr; }

private:
    ObjectPtr m_stream = std::make_shared<BenchByName>();
    ObjectPtr m_project;
    TargetFactoryPtr m_factory = std::make_shared<BenchFactory<OnExecute>>();
};

} // namespace tarvex::bench
