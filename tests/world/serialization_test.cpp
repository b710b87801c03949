#include "componentregistry.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "probe.h"
#include "settingsfile.h"
#include "testcontent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace volleyrun {

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

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

// Every kind is read (a missing member keeps the prototype's value) and written exactly; unlisted members and unknown
// components drop, a stub becomes a placeholder, the text reads back the same; a wrong type is refused naming it.
TEST_F(SerializationTest, EveryKindIsReadAndWrittenInItsFileFormAndAWrongTypeIsRefusedNamingTheMember)
{
    auto entity = Read(R"({"name": "p", "archetypeName": "a", "Probe": {"count": 2147483647, "speed": 3, "mask": 4000000000},
                           "Sprite": {}, "Stub": 42, "NotAComponent": {}, "Transform": {"rotation": 33.3, "extra": 1}})");
    Probe* probe = entity->Get<Probe>();
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->speed, 3.0f);  // an integer is a fine Float
    EXPECT_EQ(probe->label, "probe");
    probe->speed = 0.1f;
    probe->ratio = 0.1;
    probe->label = std::string("tab\there\x01\"q\\");
    probe->on = true;
    std::string text = Write(*entity);
    EXPECT_THAT(text, HasSubstr("    \"Probe\": {\n        \"count\": 2147483647,\n"
                                "        \"label\": \"tab\\there\\u0001\\\"q\\\\\",\n        \"ratio\": 0.1,\n"
                                "        \"speed\": 0.1,\n        \"on\": true,\n        \"mask\": 4000000000\n    },\n"));
    EXPECT_LT(text.find("\"Probe\""), text.find("\"Sprite\""));  // components in their registered order
    EXPECT_LT(text.find("\"Sprite\""), text.find("\"Transform\""));
    EXPECT_THAT(text, testing::AllOf(HasSubstr("\"Stub\": {}"), Not(HasSubstr("extra")), Not(HasSubstr("NotAComponent"))));
    EXPECT_EQ(Write(*Read(text)), text);
    probe->speed = std::nanf("");  // no file could read it back
    EXPECT_THROW(Write(*entity), GameError);
    const std::pair<std::string, std::string> cases[] = {
        {R"({"name": "ball", "archetypeName": "", "Transform": {"translationX": "left"}})",
         "test.txt: entity 0 \"ball\", component \"Transform\": member \"translationX\""},
        {R"({"name": "p", "archetypeName": "", "Probe": {"count": 3.0}})", "\"count\" must be an integer"},
        {R"({"name": "p", "archetypeName": "", "Probe": {"mask": -1}})", "\"mask\""},
        {R"({"name": "p", "archetypeName": "", "Probe": {"on": 1}})", "\"on\""},
        {R"({"archetypeName": "", "Transform": {}})", "test.txt: entity 0: member \"name\" must be a string"},
    };
    for (const auto& [json, expected] : cases)
        EXPECT_THAT([&] { Read(json); }, testing::ThrowsMessage<GameError>(HasSubstr(expected))) << json;
}

// Every registered component, copied by Ctrl+D and archetype spawns, whatever value each property holds.
TEST_F(SerializationTest, ACopyOfEveryComponentKeepsEverySavedProperty)
{
    ComponentRegistry::Get()->ForEach([&](const std::string& name, const Component& prototype) {
        Entity holder("holder"), copy("holder");
        Component* original = holder.AddComponent(prototype);
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
        copy.AddComponent(*original);
        EXPECT_EQ(Write(copy), Write(holder)) << name;
    });
}

TEST(SettingsFileTest, EveryOptionComesBackAsSavedAndEachBadValueKeepsItsDefaultWithOneLineAndTheFileKeptAside)
{
    testing_content::TempContent folder;
    const std::string path = (folder.root / "config" / "settings.json").string();
    GameSettings changed;
    changed.fullScreen = false;
    changed.eventLength = 64;
    changed.visualOffsetMs = -7.3f;
    changed.inputOffsetMs[1][1] = 23.4f;
    ASSERT_EQ(changed.Rebind(0, GameSettings::Control::kSpotKey, 2, 'Z'), "");
    ASSERT_EQ(changed.Rebind(1, GameSettings::Control::kLetterButton, 0, 5), "");
    EXPECT_EQ(SettingsFile(path).SaveIfChanged(changed), std::nullopt);  // the folder is made on the way
    GameSettings loaded;
    EXPECT_TRUE(SettingsFile(path).Load(loaded).empty());
    EXPECT_EQ(loaded, changed);

    const std::string keys = R"("spotKeys": [81, 87, 69], "letterButtons": [0, 1, 2, 3]}, {"letterKeys": [77, 44, 78, 74],
                                "spotKeys": [80, 79, 73], "letterButtons": [0, 1, 2, 3]}]})";
    const std::pair<std::string, std::string> cases[] = {
        {"{\"masterVolumePercent\": 40,", "is not JSON"},
        {"[1, 2]", "is not a JSON object"},
        {R"({"ballSpawnRate": "fast"})", "ballSpawnRate is not a whole number from 1 to 6; using 3"},
        {R"({"eventLength": 12.5})", "eventLength is not a whole number from 32 to 256; using 128"},
        {R"({"fullScreen": 0})", "fullScreen is not true or false; using true"},
        {R"({"audioOffsetMs": 900})", "audioOffsetMs is not a number of milliseconds from -500 to 500; using 0"},
        {R"({"audioOffsetMs": -900})", "audioOffsetMs is not a number of milliseconds"},
        {R"({"inputOffsetMs": [[0, "x"], [0, 0]]})", "inputOffsetMs[0][1] is not a number of milliseconds"},
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
        EXPECT_THAT(lines[0], ::testing::AllOf(HasSubstr("Settings " + path + ": "), HasSubstr(line)));
        EXPECT_THAT(lines[1], HasSubstr("kept aside as " + path + ".bad"));
        EXPECT_EQ(settings, GameSettings());
        EXPECT_EQ(testing_content::ReadText(path + ".bad"), text);
        EXPECT_TRUE(SettingsFile(path).Load(settings).empty());  // what was saved in its place reads back quietly
    }
}

} // namespace

} // namespace volleyrun
