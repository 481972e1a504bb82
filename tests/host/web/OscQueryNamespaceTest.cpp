// The OSCQuery namespace of a show with every kind of argument: each request with the status
// and JSON it gets.
#include "host/web/OscQueryNamespace.h"

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

ActionRow row(std::string address, std::vector<std::string> tags, std::string argument,
              std::string inMin = "", std::string inMax = "", std::string name = "")
{
    ActionRow r;
    r.address = std::move(address);
    r.tags = std::move(tags);
    r.argument = std::move(argument);
    r.op = "any";
    r.inMin = std::move(inMin);
    r.inMax = std::move(inMax);
    r.target = TargetValues{"DMX", Variant(std::move(name)), "", 1, 1};
    r.activation = "Activated";
    return r;
}

const std::vector<ActionRow> show = {
    row("/mixer/fader1", {"f"}, "1. Float", "0", "1", "Spot"),
    // A second row on the same argument widens the range; its target's name joins the first.
    row("/mixer/fader1", {"f"}, "1. Float", "1", "2", "Wash"),
    row("/knob", {"i"}, "1. Integer", "0", "127"),
    row("/scene", {"s"}, "1. String"),
    row("/go", {"Empty"}, "1. Empty"),
    // Learned nothing: no range. Other tags at the same address: an overload.
    row("/xy", {"f", "f"}, "2. Float"),
    row("/xy", {"i"}, "1. Integer", "0", "10"),
    row("/pan", {"f"}, "1. Float", "255", "0"),
    row("/mix", {"s", "f"}, "1. Float", "0.50", "1"),
    // No paths of the tree: left out.
    row("fader9", {"f"}, "1. Float", "0", "1"),
    row("//twice", {"f"}, "1. Float", "0", "1"),
};

TEST(OscQueryNamespace, answersEachRequestWithItsStatusAndJson)
{
    ReceivedValues received;
    received.record("/mixer/fader1", "f", {Variant::single(0.5f)});
    received.record("/scene", "s", {Variant(std::string("intro"))});
    received.record("/xy", "i", {Variant(int32_t(7))});
    const OscQueryNamespace space(show, received);
    const OscQueryHost host{"Tarvex on stage", "0.0.0.0", 9000, {"LISTEN"}};

    const struct {
        const char *path, *query;
        int status;
        std::string json;
    } cases[] = {
        {"/mixer/fader1", "", 200,
         R"({"FULL_PATH": "/mixer/fader1", "DESCRIPTION": "Spot, Wash", "TYPE": "f", )"
         R"("ACCESS": 3, "RANGE": [{"MIN": 0, "MAX": 2}], "VALUE": [0.5]})"},
        {"/mixer", "", 200,
         R"({"FULL_PATH": "/mixer", "ACCESS": 0, "CONTENTS": {"fader1": {"FULL_PATH": )"
         R"("/mixer/fader1", "DESCRIPTION": "Spot, Wash", "TYPE": "f", "ACCESS": 3, )"
         R"("RANGE": [{"MIN": 0, "MAX": 2}], "VALUE": [0.5]}}})"},
        {"/knob", "", 200,
         R"({"FULL_PATH": "/knob", "TYPE": "i", "ACCESS": 3, "RANGE": [{"MIN": 0, "MAX": 127}]})"},
        {"/scene", "", 200,
         R"({"FULL_PATH": "/scene", "TYPE": "s", "ACCESS": 3, "VALUE": ["intro"]})"},
        {"/go", "", 200, R"({"FULL_PATH": "/go", "ACCESS": 0})"},
        {"/xy", "", 200,
         R"({"FULL_PATH": "/xy", "TYPE": "ff", "ACCESS": 3, "OVERLOADS": [{"TYPE": "i", )"
         R"("ACCESS": 3, "RANGE": [{"MIN": 0, "MAX": 10}], "VALUE": [7]}]})"},
        {"/pan", "RANGE", 200, R"({"RANGE": [{"MIN": 0, "MAX": 255}]})"},
        {"/mix", "RANGE", 200, R"({"RANGE": [{}, {"MIN": 0.5, "MAX": 1}]})"},
        {"/mixer/fader1", "VALUE", 200, R"({"VALUE": [0.5]})"},
        {"/knob", "VALUE", 200, "{}"},
        {"/mixer", "TYPE", 200, "{}"},
        {"/go", "VALUE", 204, ""},
        {"/knob", "COLOR", 400, ""},
        {"/knob", "VALUE&TYPE", 400, ""},
        {"/nothing", "", 404, ""},
        {"/mixer/fader1/deeper", "VALUE", 404, ""},
        {"fader9", "", 404, ""},
        {"/twice", "", 404, ""},
        {"/anywhere", "HOST_INFO", 200,
         R"({"NAME": "Tarvex on stage", "OSC_PORT": 9000, "OSC_TRANSPORT": "UDP", )"
         R"("EXTENSIONS": {"ACCESS": true, "VALUE": true, "RANGE": true, )"
         R"("DESCRIPTION": true, "OVERLOADS": true, "LISTEN": true}})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + "?" + c.query);
        const OscQueryAnswer answer = space.answer(c.path, c.query, host);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.json, c.json);
    }
}

TEST(OscQueryNamespace, theRootHoldsEveryPathOfTheShowInRowOrder)
{
    const ReceivedValues none;
    const JsonValue root = *OscQueryNamespace(show, none).node("/");
    std::vector<std::string> names;
    for (const auto &[name, node] : root.find("CONTENTS")->members())
        names.push_back(name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"mixer", "knob", "scene", "go", "xy", "pan", "mix"}));
    EXPECT_EQ(root.find("FULL_PATH")->text(), "/");
}

TEST(OscQueryNamespace, hostInfoNamesTheOscServerOnlyWhereItListensOnOneAddress)
{
    const JsonValue info = OscQueryNamespace::hostInfo({"Tarvex", "192.168.1.10", 8000, {}});
    EXPECT_EQ(info.find("OSC_IP")->text(), "192.168.1.10");
    EXPECT_EQ(info.find("OSC_PORT")->asInteger(), 8000);
    const JsonValue stopped = OscQueryNamespace::hostInfo({"Tarvex", "", 0, {}});
    EXPECT_EQ(stopped.find("OSC_IP"), nullptr);
    EXPECT_EQ(stopped.find("OSC_PORT"), nullptr);
}

} // namespace
} // namespace tarvex::host
