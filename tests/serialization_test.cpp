#include "componentregistry.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "probe.h"
#include "settingsfile.h"
#include "sprite.h"
#include "testcontent.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using ::testing::HasSubstr;

class SerializationTest : public ::testing::Test {
protected:
    void SetUp() override { Probe::Register(); }
    void TearDown() override { ComponentRegistry::Destroy(); }

    std::unique_ptr<Entity> Read(const std::string& json)
    {
        rapidjson::Document document;
        document.Parse<rapidjson::kParseFullPrecisionFlag>(json.c_str());
        EXPECT_FALSE(document.HasParseError()) << json;
        return std::make_unique<Entity>(document, nullptr, "test.txt: entity 0");
    }
    static std::string Write(const Entity& entity)
    {
        rapidjson::StringBuffer buffer;
        JsonWriter writer(buffer);
        entity.Write(writer);
        return buffer.GetString();
    }
};

TEST_F(SerializationTest, EveryKindIsReadAndWrittenInItsFileFormExactly)
{
    auto entity = Read(R"({"name": "p", "archetypeName": "a", "Probe": {"count": -4, "speed": 3, "mask": 4000000000}})");
    Probe* probe = entity->Get<Probe>();
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->count, -4);
    EXPECT_EQ(probe->speed, 3.0f);  // an integer is a fine Float
    EXPECT_EQ(probe->mask, 4000000000u);
    EXPECT_EQ(probe->label, "probe");  // absent: the prototype's value
    probe->speed = 0.1f;
    probe->ratio = 0.5;
    probe->label = std::string("tab\there\x01");
    probe->on = true;
    EXPECT_EQ(Write(*entity), "{\n    \"name\": \"p\",\n    \"archetypeName\": \"a\",\n    \"Probe\": {\n"
                              "        \"count\": -4,\n        \"label\": \"tab\\there\\u0001\",\n"
                              "        \"ratio\": 0.5,\n        \"speed\": 0.1,\n        \"on\": true,\n"
                              "        \"mask\": 4000000000\n    }\n}");
    probe->speed = std::nanf("");  // no file could read it back
    EXPECT_THROW(Write(*entity), GameError);
}

// Every registered component: a copy (Ctrl+D, archetype spawns) equals the original on every
// property it saves, whatever value each holds.
TEST_F(SerializationTest, ACopyOfEveryComponentKeepsEverySavedProperty)
{
    auto written = [](Component& component) {
        rapidjson::StringBuffer buffer;
        JsonWriter writer(buffer);
        writer.StartObject();
        std::vector<Property> properties;
        component.Serialize(properties);
        for (const Property& p : properties) WriteValue(writer, p);
        writer.EndObject();
        return std::string(buffer.GetString());
    };
    Entity holder("holder");
    ComponentRegistry::Get()->ForEach([&](const std::string& name, const Component& prototype) {
        std::unique_ptr<Component> original = prototype.Copy(&holder);
        std::vector<Property> properties;
        original->Serialize(properties);
        int n = 1;
        for (const Property& p : properties) {
            ++n;
            switch (p.kind) {
            case kInt: *static_cast<int32_t*>(p.address) = n; break;
            case kUnsigned: *static_cast<uint32_t*>(p.address) = static_cast<uint32_t>(n); break;
            case kString: *static_cast<std::string*>(p.address) = "v" + std::to_string(n); break;
            case kFloat: *static_cast<float*>(p.address) = 0.3f * static_cast<float>(n); break;
            case kDouble: *static_cast<double*>(p.address) = 0.7 * n; break;
            case kBool: *static_cast<bool*>(p.address) = !*static_cast<bool*>(p.address); break;
            }
        }
        EXPECT_EQ(written(*original->Copy(&holder)), written(*original)) << name;
    });
}

// Components go out in name order, unlisted members and unknown components are dropped, a
// stub member gives a placeholder, and what was written reads back to the same text.
TEST_F(SerializationTest, ReadingWhatWasWrittenGivesTheSameEntity)
{
    auto first = Read(R"({"name": "p", "archetypeName": "a", "Probe": {"count": 2147483647, "label": "\"q\\",
                          "ratio": 0.1, "speed": 1e-7, "on": true, "mask": 0}, "Sprite": {}, "Stub": 42, "NotAComponent": {},
                          "Transform": {"translationX": -3.75, "rotation": 33.3, "parent": "x", "extra": 1}})");
    std::string text = Write(*first);
    EXPECT_LT(text.find("\"Probe\""), text.find("\"Sprite\""));
    EXPECT_LT(text.find("\"Sprite\""), text.find("\"Transform\""));
    EXPECT_EQ(text.find("extra"), std::string::npos);
    EXPECT_EQ(text.find("NotAComponent"), std::string::npos);
    EXPECT_THAT(text, HasSubstr("\"Stub\": {}"));
    auto second = Read(text);
    EXPECT_EQ(Write(*second), text);
    EXPECT_EQ(second->Get<Probe>()->ratio, 0.1);
    EXPECT_EQ(second->Get<Transform>()->rotation, 33.3f);
}

TEST_F(SerializationTest, WrongMemberTypesNameTheFileEntityComponentAndMember)
{
    const std::pair<std::string, std::string> cases[] = {
        {R"({"name": "ball", "archetypeName": "", "Transform": {"translationX": "left"}})",
         "test.txt: entity 0 \"ball\", component \"Transform\": member \"translationX\""},
        {R"({"name": "p", "archetypeName": "", "Probe": {"count": 3.0}})", "\"count\" must be an integer"},
        {R"({"name": "p", "archetypeName": "", "Probe": {"count": 3000000000}})", "\"count\""},
        {R"({"name": "p", "archetypeName": "", "Probe": {"mask": -1}})", "\"mask\""},
        {R"({"name": "p", "archetypeName": "", "Probe": {"on": 1}})", "\"on\""},
        {R"({"name": "p", "archetypeName": "", "Probe": [1]})", "must be a JSON object"},
        {R"({"archetypeName": "", "Transform": {}})", "test.txt: entity 0: member \"name\" must be a string"},
        {R"({"name": "n", "archetypeName": 4})", "\"archetypeName\""},
        {"[1, 2]", "must be a JSON object"},
    };
    for (const auto& [json, expected] : cases) {
        std::string error = "no error";
        try {
            Read(json);
        } catch (const GameError& refused) {
            error = refused.what();
        }
        EXPECT_THAT(error, HasSubstr(expected)) << json;
    }
}

// The settings file of these tests lies in the test's own temporary folder.
class SettingsFileTest : public ::testing::Test {
protected:
    testing_content::TempContent folder;
    std::string path = (folder.root / "config" / "settings.json").string();
};

TEST_F(SettingsFileTest, EveryOptionComesBackAsSavedAndAnUnchangedOneIsNotWrittenAgain)
{
    GameSettings changed;
    changed.fullScreen = false;
    changed.eventLength = 64;
    changed.visualOffsetMs = -7.3f;
    changed.inputOffsetMs[1][1] = 23.4f;
    ASSERT_EQ(changed.Rebind(0, GameSettings::Control::kSpotKey, 2, 'Z'), "");
    ASSERT_EQ(changed.Rebind(1, GameSettings::Control::kLetterButton, 0, 5), "");
    SettingsFile file(path);
    EXPECT_EQ(file.SaveIfChanged(changed), std::nullopt);  // the folder is made on the way
    GameSettings loaded;
    EXPECT_TRUE(SettingsFile(path).Load(loaded).empty());
    EXPECT_EQ(loaded, changed);
    std::filesystem::remove(path);
    EXPECT_EQ(file.SaveIfChanged(changed), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SettingsFileTest, EachBadValueKeepsItsDefaultWithOneLineAndTheBadFileIsKeptAside)
{
    const std::string keys = R"("spotKeys": [81, 87, 69], "letterButtons": [0, 1, 2, 3]}, {"letterKeys": [77, 44, 78, 74],
                                "spotKeys": [80, 79, 73], "letterButtons": [0, 1, 2, 3]}]})";
    const std::pair<std::string, std::string> cases[] = {
        {"{\"masterVolumePercent\": 40,", "is not JSON"},
        {"[1, 2]", "is not a JSON object"},
        {R"({"masterVolumePercent": 250})", "masterVolumePercent is not a whole number from 0 to 100; using 100"},
        {R"({"ballSpawnRate": "fast"})", "ballSpawnRate is not a whole number from 1 to 6; using 3"},
        {R"({"eventLength": 12.5})", "eventLength is not a whole number from 32 to 256; using 128"},
        {R"({"fullScreen": 0})", "fullScreen is not true or false; using true"},
        {R"({"audioOffsetMs": 900})", "audioOffsetMs is not a number of milliseconds from -500 to 500; using 0"},
        {R"({"inputOffsetMs": [[0, "x"], [0, 0]]})", "inputOffsetMs[0][1] is not a number of milliseconds"},
        {R"({"inputOffsetMs": 3})", "inputOffsetMs is not two players'"},
        {R"({"bindings": [{"letterKeys": [77, 86, 88, 68], )" + keys, "bindings bind a key twice"},
        {R"({"bindings": [{"letterKeys": [67, 86, 88], )" + keys, "bindings are not two players'"},
        {R"({"volume": 3})", "unknown option volume"},
    };
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(text);
        testing_content::WriteText(path, text);
        GameSettings settings;
        std::vector<std::string> lines = SettingsFile(path).Load(settings);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_THAT(lines[0], HasSubstr("Settings " + path + ": "));
        EXPECT_THAT(lines[0], HasSubstr(line));
        EXPECT_THAT(lines[1], HasSubstr("kept aside as " + path + ".bad"));
        EXPECT_EQ(settings, GameSettings());
        EXPECT_EQ(testing_content::ReadText(path + ".bad"), text);
        EXPECT_TRUE(SettingsFile(path).Load(settings).empty());  // what was saved in its place reads back quietly
    }
}

} // namespace
