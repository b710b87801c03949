// The map editor over a small stage, driven in-process the way a designer would: cursor,
// clicks and keys go through Input, so the overlay's hit test, buttons and text boxes take
// part. The real overlay and drop-down entry are copied from the game's content.
#include "archetypestore.h"
#include "authoredspace.h"
#include "button.h"
#include "particleemitter.h"
#include "slider.h"
#include "input.h"
#include "mapeditor.h"
#include "menucontent.h"
#include "probe.h"
#include "replayrun.h"
#include "sprite.h"
#include "spritetext.h"
#include "testcontent.h"
#include "textbox.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using testing_content::EntityJson;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr int kKeyD = 68, kKeyS = 83, kKeyY = 89, kKeyZ = 90, kKeyDelete = 261, kKeyRight = 262, kKeyUp = 265;
constexpr int kKeyPageUp = 266, kKeyPageDown = 267, kKeyLeftControl = 341;

// Trace lines and "Pause" values sent on the engine-wide manager.
struct Recorder {
    void OnTrace(TraceEvent& event) { trace += event.text; }
    void OnParameter(ParameterChangeEvent& event)
    {
        for (const auto& [name, value] : event.parameters)
            if (event.path == "event:/InGame" && name == "Pause") pause.push_back(value);
    }
    size_t Count(const std::string& needle) const
    {
        size_t count = 0;
        for (size_t at = trace.find(needle); at != std::string::npos; at = trace.find(needle, at + 1)) ++count;
        return count;
    }
    std::string trace;
    std::vector<float> pause;
};

std::string Json(const rapidjson::Value& value)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return buffer.GetString();
}

class MapEditorTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        fs::path source = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
        fs::copy_file(source / "Spaces/MapEditorSpace.txt", content.root / "Spaces/MapEditorSpace.txt");
        fs::copy_file(source / "Archetypes/DropDown.txt", content.root / "Archetypes/DropDown.txt");
        testing_content::WriteMenuSounds(content, true);
        content.Archetype("box.txt", EntityJson("box", 0, 0, "1"));
        content.SimpleSpace("stage", 0.0f,
                            EntityJson("box", 30, -60, "1") + "," + EntityJson("under", 0, 200, "1") + "," +
                                EntityJson("sign", -150, -90, "2") + "," +
                                R"({"name": "probe", "archetypeName": "", "Probe": {}})");
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        Probe::Register();
        RunOptions::Get().firstSpace = "stage";
        Start();
        Engine::Get()->events->AddListener(&recorder, &Recorder::OnTrace);
        Engine::Get()->events->AddListener(&recorder, &Recorder::OnParameter);
        Frames(3);
        stage = Engine::Get()->FindSpace("stage");
        for (const char* name : {"box", "under", "sign"}) Find(name)->Require<Transform>()->scale = {40.0f, 40.0f};
        Open();
    }
    void Open()
    {
        DevMessageEvent open("\\edit-open-" + edited);
        Engine::Get()->events->Send(open);
        Frames(3);
        overlay = Engine::Get()->FindSpace("MapEditorSpace");
        ASSERT_NE(overlay, nullptr) << recorder.trace;
        editor = overlay->RequireEntity("mapEditor")->Require<MapEditor>();
    }

    Entity* Find(const std::string& name) { return stage->FindEntity(name); }
    Entity* Field(const std::string& name) { return overlay->RequireEntity(name); }
    // What the field holds (a text box's own text, without the caret it may show).
    std::string Text(const std::string& field)
    {
        Entity* entity = Field(field);
        if (TextBox* box = entity->Get<TextBox>()) return box->actualText;
        return entity->Require<SpriteText>()->text;
    }
    bool EditorOpen() { return Engine::Get()->FindSpace("MapEditorSpace") != nullptr; }

    // Puts the cursor's tip on (x, y) in world units of the 1920 x 1080 headless screen.
    void Point(float x, float y)
    {
        Input::Get()->OnCursor(960.0 + 1.8 * (x + 5.0), 540.0 - 1.8 * (y - 5.0));
        Frames(2);
    }
    void Click(float x, float y)
    {
        Point(x, y);
        Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kPress);
        Frames(2);
        Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kRelease);
        Frames(3);
    }
    // A field or button is clicked a little right of its left end (text boxes) or in its middle.
    void ClickField(const std::string& name)
    {
        Entity* entity = Field(name);
        glm::vec2 at = entity->Require<Transform>()->translation;
        if (entity->Get<TextBox>()) at.x += 20.0f;
        Click(at.x, at.y);
    }
    void Key(int code)
    {
        Input::Get()->OnKey(code, Input::kPress);
        Frames(1);
        Input::Get()->OnKey(code, Input::kRelease);
        Frames(1);
    }
    void Chord(int code)
    {
        Input::Get()->OnKey(kKeyLeftControl, Input::kPress);
        Frames(1);
        Key(code);
        Input::Get()->OnKey(kKeyLeftControl, Input::kRelease);
        Frames(1);
    }
    void Type(const std::string& text)
    {
        for (char c : text) {
            if (c >= 'A' && c <= 'Z') Input::Get()->OnKey(Input::kKeyLeftShift, Input::kPress);
            Key(c >= 'a' && c <= 'z' ? c - 32 : c);
            if (c >= 'A' && c <= 'Z') {
                Input::Get()->OnKey(Input::kKeyLeftShift, Input::kRelease);
                Frames(1);
            }
        }
    }
    // Clicks the row, replaces its value and presses Enter.
    void EditRow(int row, const std::string& value)
    {
        ClickField(std::to_string(row));
        Type(value);
        Key(Input::kKeyEnter);
        Frames(2);
    }
    // Clicks a field, erases that many characters, types and presses Enter.
    void Retype(const std::string& field, int erase, const std::string& text)
    {
        ClickField(field);
        for (int i = 0; i < erase; ++i) Key(Input::kKeyBackspace);
        Type(text);
        Key(Input::kKeyEnter);
        Frames(1);
    }
    void ChooseComponentType(const std::string& type)
    {
        ClickField("CurrentComponent");
        for (const auto& entity : overlay->Entities()) {
            if (entity->name.rfind("ComponentList", 0) != 0 || entity->Require<SpriteText>()->text != type) continue;
            glm::vec2 at = entity->Require<Transform>()->translation;
            Click(at.x, at.y);
            return;
        }
        FAIL() << "no list entry for " << type;
    }

    // Brings the entity into the object list, from its top down (the wheel, then Page Down),
    // and clicks it.
    void SelectFromList(const std::string& name)
    {
        glm::vec2 first = Field("ObjectList0")->Require<Transform>()->translation;
        Point(first.x, first.y);
        for (int turn = 0; turn < 10 && editor->FirstObject() > 0; ++turn) Key(kKeyPageUp);
        for (int turn = 0; turn < 12; ++turn) {
            for (const auto& entity : overlay->Entities()) {
                if (entity->name.rfind("ObjectList", 0) != 0 || entity->Require<SpriteText>()->text != name) continue;
                glm::vec2 at = entity->Require<Transform>()->translation;
                Click(at.x, at.y);
                return;
            }
            Point(first.x, first.y);
            if (turn == 0) {
                Input::Get()->OnScroll(-1.0);
                Frames(1);
            } else {
                Key(kKeyPageDown);
            }
        }
        FAIL() << name << " never shows in the object list";
    }
    // Scrolls the rows with Page Down until the property shows, then types its value.
    void EditProperty(const std::string& name, const std::string& value)
    {
        std::vector<Property> properties;
        editor->CurrentComponent()->Serialize(properties);
        size_t index = std::find_if(properties.begin(), properties.end(), [&](auto& p) { return p.name == name; }) - properties.begin();
        ASSERT_LT(index, properties.size()) << name;
        for (int turn = 0; turn < 10 && index >= editor->FirstRow() + MapEditor::kRowCount; ++turn) {
            glm::vec2 row = Field("0")->Require<Transform>()->translation;
            Point(row.x + 40.0f, row.y);
            Key(kKeyPageDown);
        }
        EditRow(static_cast<int>(index - editor->FirstRow()), value);
    }
    void Undo() { Chord(kKeyZ); Frames(2); }
    void Redo() { Chord(kKeyY); Frames(2); }

    std::string edited = "stage";
    Recorder recorder;
    Space* stage = nullptr;
    Space* overlay = nullptr;
    MapEditor* editor = nullptr;
};

// Every shipped space and archetype, loaded and saved without a change, is its file again,
// byte for byte, whatever the loaded entities hold by then.
class ShippedContentTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        fs::path source = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
        fs::copy(source, content.root, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    static std::string Bytes(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
};

TEST_F(ShippedContentTest, SavingWithoutChangesGivesEveryFileBackByteForByte)
{
    Start();
    for (const auto& file : fs::directory_iterator(content.root / "Spaces")) {
        Space* space = Make(file.path().stem().string());
        ASSERT_NE(space, nullptr) << file.path();
        EXPECT_EQ(AuthoredSpace(*space).Text(), Bytes(file.path())) << file.path();
    }
    ArchetypeStore* store = ArchetypeStore::Get();
    for (const auto& file : fs::directory_iterator(content.root / "Archetypes")) {
        if (file.path().filename().string()[0] == '.') continue;  // not an archetype
        std::string before = Bytes(file.path());
        const rapidjson::Value* object = store->Authored(file.path().stem().string());
        ASSERT_NE(object, nullptr) << file.path();
        store->Save(*object);
        EXPECT_EQ(Bytes(file.path()), before) << file.path();
    }
}

TEST(MapEditorRowTest, ValuesAreReadByTheKindOfTheProperty)
{
    Probe probe(nullptr);
    std::vector<Property> p;
    probe.Serialize(p);  // count int, label string, ratio double, speed float, on bool, mask unsigned
    // Each row: the property, the text, whether it is taken, and what the property shows after.
    const struct { int row; const char* text; bool taken; const char* shown; } cases[] = {
        {0, "-12", true, "count: -12"}, {0, "12.5", false, "count: -12"}, {0, "abc", false, "count: -12"},
        {0, "", false, "count: -12"}, {0, "12x", false, "count: -12"}, {0, "99999999999", false, "count: -12"},
        {5, "-1", false, "mask: 3"}, {5, "4000000000", true, "mask: 4000000000"}, {2, "0.5", true, "ratio: 0.500000"},
        {3, "-2.25", true, "speed: -2.250000"}, {3, "fast", false, "speed: -2.250000"}, {3, "nan", false, "speed: -2.250000"},
        {3, "inf", false, "speed: -2.250000"}, {3, "1e999", false, "speed: -2.250000"}, {3, "2.5.1", false, "speed: -2.250000"},
        {4, "True", false, "on: false"}, {4, "1", false, "on: false"}, {4, "yes", false, "on: false"},
        {4, "", false, "on: false"}, {4, "true", true, "on: true"}, {1, "two words", true, "label: two words"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + " " + c.text);
        EXPECT_EQ(MapEditor::WriteProperty(p[c.row], c.text), c.taken);
        EXPECT_EQ(MapEditor::ShowProperty(p[c.row]), c.shown);
    }
}

// Every row of every registered component, typed random and hostile text: whatever is taken
// must load again (the loader's member checks and the component's own Check), what is
// refused leaves the value as it was, and nothing crashes.
TEST(MapEditorRowTest, NoTypedValueMakesAComponentThatWouldNotLoad)
{
    std::mt19937 random(17);
    std::vector<std::string> hostile = {"", " ", "0", "1", "-1", "-0", "1e39", "-1e39", "1e999", "nan", "inf", "1e-50",
                                        "2147483648", "-2147483649", "4294967296", "99999999999999999999", "0x10", "true",
                                        "false", "null", "{}", std::string("\x01\t\"\\", 4), std::string(300, '9')};
    const std::string alphabet = "0123456789-+.eE xn";
    for (int i = 0; i < 12; ++i) {
        std::string text;
        for (int n = 1 + static_cast<int>(random() % 12); n > 0; --n) text += alphabet[random() % alphabet.size()];
        hostile.push_back(text);
    }
    ComponentRegistry::Get()->ForEach([&](const std::string& name, const Component& prototype) {
        Entity holder("holder");
        Component& component = *holder.AddComponent(prototype);
        std::vector<Property> properties;
        component.Serialize(properties);
        for (size_t row = 0; row < properties.size(); ++row) {
            for (const std::string& text : hostile) {
                std::string before = MapEditor::ShowProperty(properties[row]);
                std::string reason = MapEditor::WriteChecked(component, row, text, name);
                if (!reason.empty()) {
                    EXPECT_EQ(MapEditor::ShowProperty(properties[row]), before) << name << " " << text;
                }
            }
        }
        rapidjson::StringBuffer buffer;
        JsonWriter writer(buffer);
        ASSERT_NO_THROW(holder.Write(writer)) << name;
        rapidjson::Document file;
        file.Parse(buffer.GetString());
        ASSERT_TRUE(file.IsObject()) << name;
        std::unique_ptr<Entity> loaded;
        ASSERT_NO_THROW(loaded = std::make_unique<Entity>(file, nullptr, "fuzzed")) << name << buffer.GetString();
        EXPECT_NO_THROW(loaded->GetComponent(component.type)->Check(name)) << name;
    });
    // The refusals name their reason.
    Entity holder("knob");
    Slider& slider = *static_cast<Slider*>(holder.AddComponent(*ComponentRegistry::Get()->Find("Slider")));
    EXPECT_THAT(MapEditor::WriteChecked(slider, 2, "1", "Slider"), HasSubstr("\"subDivisions\" must be at least 2"));
    Button& button = *static_cast<Button*>(holder.AddComponent(*ComponentRegistry::Get()->Find("Button")));
    EXPECT_THAT(MapEditor::WriteChecked(button, 0, "0", "Button"), HasSubstr("hover scale of 0"));
    EXPECT_EQ(button.hoverScaleValX, 1.2f);
    Transform& transform = *static_cast<Transform*>(holder.AddComponent(*ComponentRegistry::Get()->Find("Transform")));
    EXPECT_THAT(MapEditor::WriteChecked(transform, 0, "1e39", "Transform"), HasSubstr("range of float"));
    EXPECT_EQ(MapEditor::WriteChecked(transform, 0, "12.5", "Transform"), "");
    EXPECT_EQ(transform.translation.x, 12.5f);
}

TEST_F(MapEditorTest, OpeningPausesTheSpaceAndEveryWayOfClosingResumesIt)
{
    EXPECT_TRUE(stage->paused);
    EXPECT_EQ(editor->EditedSpace(), stage);
    EXPECT_THAT(recorder.pause, ::testing::ElementsAre(1.0f));
    stage->SetPaused(false);  // the space's own logic (the main menu's) cannot start it under the editor
    EXPECT_TRUE(stage->paused);
    Key(Input::kKeyEscape);
    Frames(1);
    EXPECT_FALSE(EditorOpen());
    EXPECT_FALSE(stage->paused);
    EXPECT_EQ(recorder.pause.back(), 0.0f);

    Open();
    DevMessageEvent end("\\edit-end");
    Engine::Get()->events->Send(end);
    Frames(2);
    EXPECT_FALSE(EditorOpen());
    EXPECT_FALSE(stage->paused);
    EXPECT_THAT(recorder.pause, ::testing::ElementsAre(1.0f, 0.0f, 1.0f, 0.0f));

    // A space paused before (a match under its pause menu) is still paused after.
    stage->paused = true;
    Open();
    Key(Input::kKeyEscape);
    Frames(1);
    EXPECT_TRUE(stage->paused);
    EXPECT_EQ(recorder.pause.back(), 1.0f);
    stage->paused = false;

    // The edited space going away closes the editor, which must not reach it afterwards.
    Open();
    Engine::Get()->events->Send(DestroySpaceEvent(stage, 0.0f));
    Frames(3);
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(recorder.pause.back(), 0.0f);
}

TEST_F(MapEditorTest, ClicksSelectBelowThePanelButNeverInsideIt)
{
    Click(30, -60);
    ASSERT_EQ(editor->Selected(), Find("box"));
    EXPECT_EQ(Text("SelectedName"), "Selected Name: box");
    EXPECT_EQ(Text("SelectedArch"), "Selected Arch: box");
    EXPECT_THAT(Text("0"), HasSubstr("translationX: 30.000000"));
    Click(0, 200);  // "under" lies beneath the panel
    EXPECT_EQ(editor->Selected(), Find("box"));
    Find("sign")->Require<Sprite>()->visible = false;  // hidden pictures are not picked
    Click(-150, -90);
    EXPECT_EQ(editor->Selected(), nullptr);
    Click(30, -60);
    Click(300, -200);  // empty ground
    EXPECT_EQ(editor->Selected(), nullptr);
    EXPECT_EQ(Text("SelectedName"), "Selected Name: N/A");
    EXPECT_EQ(Text("0"), "");
}

TEST_F(MapEditorTest, ArrowKeysStepTheChosenToolAndDeleteOnlyActsOnASelection)
{
    size_t count = stage->Entities().size();
    Key(kKeyDelete);
    Frames(2);
    EXPECT_EQ(stage->Entities().size(), count);

    Click(30, -60);
    Key(kKeyRight);
    Key(kKeyRight);
    Key(kKeyUp);
    EXPECT_EQ(Find("box")->Require<Transform>()->translation, glm::vec2(60.0f, -45.0f));
    ClickField("Scale");
    EXPECT_EQ(editor->CurrentTool(), MapEditor::Tool::kScale);
    Key(kKeyUp);  // the pointer is over the panel: tools wait
    EXPECT_EQ(Find("box")->Require<Transform>()->scale, glm::vec2(40.0f, 40.0f));
    Point(60, -45);
    Key(kKeyUp);
    EXPECT_EQ(Find("box")->Require<Transform>()->scale, glm::vec2(40.0f, 55.0f));
    // A layer change puts the entity after "sign" (layer 2) in the draw order.
    ClickField("ZLayer");
    Point(60, -45);
    Key(kKeyRight);
    Key(kKeyRight);
    EXPECT_EQ(Find("box")->Require<Sprite>()->zLayer, 3.0f);
    auto& list = stage->Entities();
    auto index = [&](const char* name) { return std::find_if(list.begin(), list.end(), [&](auto& e) { return e->name == name; }); };
    EXPECT_LT(index("sign"), index("box"));

    Key(kKeyDelete);
    Frames(2);
    EXPECT_EQ(Find("box"), nullptr);
    EXPECT_EQ(editor->Selected(), nullptr);
    EXPECT_EQ(stage->Entities().size(), count - 1);
}

// A zero step would divide by zero when dragging; no float holds 1e39.
TEST_F(MapEditorTest, StepFieldsTakeOnlyPositiveNumbers)
{
    Retype("Translate", 2, "40");
    Retype("Rotate", 2, "0");
    Retype("Scale", 2, "1e39");
    EXPECT_EQ(editor->translateStep, glm::vec2(40.0f));
    EXPECT_EQ(Text("Translate"), "Translate: 40");
    EXPECT_EQ(editor->rotationStep, 15.0f);
    EXPECT_EQ(Text("Rotate"), "Rotate: 15");
    EXPECT_EQ(editor->scaleStep, glm::vec2(15.0f));
}

TEST_F(MapEditorTest, PropertyRowsWriteTheirValueOnlyWhenItReadsAsTheKind)
{
    Click(-150, -90);
    ASSERT_EQ(editor->Selected(), Find("sign"));
    EditRow(1, "-75");  // translationY
    EXPECT_EQ(Find("sign")->Require<Transform>()->translation.y, -75.0f);
    EXPECT_EQ(Text("1"), "translationY: -75.000000");
    EditRow(0, "left");  // refused in its row with the reason
    EXPECT_EQ(Find("sign")->Require<Transform>()->translation.x, -150.0f);
    EXPECT_EQ(Text("0"), "translationX: refused, it must be a finite number");

    // The drop-down picks the type; a row beyond the property list changes nothing.
    ChooseComponentType("Sprite");
    EXPECT_EQ(Text("CurrentComponent"), "Current Component: Sprite");
    EXPECT_EQ(editor->CurrentComponent(), Find("sign")->Get<Sprite>());
    EditRow(0, "billboard.png");
    EXPECT_EQ(Find("sign")->Require<Sprite>()->imageName, "billboard.png");
    EditRow(9, "5");
    EXPECT_EQ(Text("9"), "");
}

TEST_F(MapEditorTest, ComponentsAreAddedAndRemovedWithTheirSiblingsIntact)
{
    Click(-150, -90);
    ChooseComponentType("Probe");
    ClickField("AddCompButton");
    Probe* probe = Find("sign")->Get<Probe>();
    ASSERT_NE(probe, nullptr) << recorder.trace;
    EXPECT_EQ(editor->CurrentComponent(), probe);
    EXPECT_EQ(Text("0"), "count: 7");
    EditRow(0, "12");
    EXPECT_EQ(Find("sign")->Get<Probe>()->count, 12);

    ChooseComponentType("Sprite");
    Find("sign")->Require<Sprite>()->colour.r = 0.5f;
    ClickField("RemoveCompButton");
    Entity* sign = Find("sign");
    EXPECT_EQ(sign->Get<Sprite>(), nullptr);
    EXPECT_EQ(editor->CurrentComponent(), nullptr);
    ASSERT_NE(sign->Get<Probe>(), nullptr);
    EXPECT_EQ(sign->Get<Probe>()->count, 12);  // the others keep their values
    EXPECT_EQ(sign->Require<Transform>()->translation, glm::vec2(-150.0f, -90.0f));
    // A hit test needs the space's "Mouse" every update: without one it is not added.
    ChooseComponentType("MouseClickEventSender");
    ClickField("AddCompButton");
    EXPECT_EQ(sign->GetComponent(kMouseClickEventSender), nullptr);
    EXPECT_THAT(recorder.trace, HasSubstr("\"Mouse\", which this space lacks"));
    // Adding a type the entity has already leaves it alone.
    ChooseComponentType("Transform");
    ClickField("AddCompButton");
    EXPECT_EQ(sign->Require<Transform>()->translation, glm::vec2(-150.0f, -90.0f));
}

TEST_F(MapEditorTest, SavingTheSpaceTracesEachSaveAndAFailedSaveKeepsTheFile)
{
    Chord(kKeyS);
    Chord(kKeyS);
    EXPECT_EQ(recorder.Count("saved "), 2u) << recorder.trace;
    std::string before = testing_content::ReadText(content.root / "Spaces/stage.txt");
    rapidjson::Document saved;
    saved.Parse(before.c_str());
    ASSERT_TRUE(saved.IsObject());
    EXPECT_EQ(saved["entities"].Size(), 4u);

    // A folder where the temporary would go makes the write fail, even for root.
    fs::create_directory(content.root / "Spaces/.stage.txt.saving");
    Click(30, -60);
    Key(kKeyRight);
    ClickField("SaveSpaceButton");
    EXPECT_EQ(recorder.Count("saved "), 2u);
    EXPECT_THAT(recorder.trace, HasSubstr("save failed"));
    EXPECT_THAT(recorder.trace, HasSubstr("stage.txt"));
    EXPECT_EQ(testing_content::ReadText(content.root / "Spaces/stage.txt"), before);
}

TEST_F(MapEditorTest, SavingWritesWhatTheFileHeldAndWhatWasPlacedButNotWhatTheGameSpawned)
{
    Key(Input::kKeyEscape);
    Frames(1);
    ArchetypeStore::Spawn("box", "spark", *stage, true);  // as a meter spawns its notches
    Open();
    Click(30, -60);
    Retype("SelectedName", 5, "crate");  // the label stays
    EXPECT_EQ(Text("SelectedName"), "Selected Name: crate");
    EXPECT_EQ(Find("crate"), editor->Selected());
    Point(100, -150);
    Chord(kKeyD);
    ASSERT_NE(Find("clone"), nullptr);
    EXPECT_EQ(editor->Selected(), Find("clone"));
    EXPECT_EQ(Find("clone")->Require<Transform>()->translation, glm::vec2(30.0f, -60.0f));
    ClickField("SaveSpaceButton");
    rapidjson::Document saved;
    saved.Parse(testing_content::ReadText(content.root / "Spaces/stage.txt").c_str());
    ASSERT_TRUE(saved.IsObject()) << recorder.trace;
    std::vector<std::string> names;
    for (const auto& entity : saved["entities"].GetArray()) names.push_back(entity["name"].GetString());
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("crate", "clone", "under", "sign", "probe"));
}

TEST_F(MapEditorTest, AnArchetypeIsSavedUnderItsNameAndReplacedInPlace)
{
    const auto& store = ArchetypeStore::Get()->Archetypes();
    size_t count = store.size();
    auto position = std::find_if(store.begin(), store.end(), [](auto& e) { return e->name == "box"; }) - store.begin();
    Click(30, -60);
    ClickField("Scale");
    Point(30, -60);
    Key(kKeyRight);
    ClickField("SaveArchButton");
    EXPECT_EQ(recorder.Count("saved "), 1u) << recorder.trace;
    ASSERT_EQ(store.size(), count);
    EXPECT_EQ(store[position]->name, "box");
    EXPECT_EQ(store[position]->Require<Transform>()->scale.x, 55.0f);
    rapidjson::Document file;
    file.Parse(testing_content::ReadText(content.root / "Archetypes/box.txt").c_str());
    ASSERT_TRUE(file.IsObject());
    EXPECT_STREQ(file["name"].GetString(), "box");
    EXPECT_EQ(file["Transform"]["scaleX"].GetDouble(), 55.0);
}

TEST_F(MapEditorTest, RemoveAllEmptiesTheSpaceAndTheObjectList)
{
    EXPECT_NE(overlay->FindEntity("ObjectList3"), nullptr);
    Click(30, -60);
    DevMessageEvent all("\\edit-remove-all");
    Engine::Get()->events->Send(all);
    Frames(3);
    EXPECT_TRUE(stage->Entities().empty());
    EXPECT_EQ(editor->Selected(), nullptr);
    EXPECT_EQ(overlay->FindEntity("ObjectList0"), nullptr);
    EXPECT_TRUE(EditorOpen());
}

// Each kind of edit goes back and comes again; the save button carries a mark while the
// space differs from its last save, and a save after undoing everything is the first save.
TEST_F(MapEditorTest, EveryKindOfEditIsUndoneAndRedone)
{
    Chord(kKeyS);
    const std::string first = testing_content::ReadText(content.root / "Spaces/stage.txt");
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space");
    Undo();
    EXPECT_THAT(recorder.trace, HasSubstr("nothing to undo"));

    Click(30, -60);
    Key(kKeyRight);  // a move
    auto box = [&] { return Find("box") ? Find("box") : Find("crate"); };
    EXPECT_EQ(box()->Require<Transform>()->translation.x, 45.0f);
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space *");
    Undo();
    EXPECT_EQ(box()->Require<Transform>()->translation.x, 30.0f);
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space");
    Redo();
    EXPECT_EQ(box()->Require<Transform>()->translation.x, 45.0f);
    EditRow(1, "-75");  // a property
    Undo();
    EXPECT_EQ(box()->Require<Transform>()->translation.y, -60.0f);
    Redo();
    EXPECT_EQ(box()->Require<Transform>()->translation.y, -75.0f);
    Retype("SelectedName", 3, "crate");  // a rename
    EXPECT_NE(Find("crate"), nullptr);
    Undo();
    EXPECT_EQ(Find("crate"), nullptr);
    Redo();
    ASSERT_NE(Find("crate"), nullptr);
    ChooseComponentType("Probe");  // a component added and one removed
    ClickField("AddCompButton");
    EditRow(0, "12");
    ChooseComponentType("Sprite");
    ClickField("RemoveCompButton");
    EXPECT_EQ(box()->Get<Sprite>(), nullptr);
    Undo();
    ASSERT_NE(box()->Get<Sprite>(), nullptr);
    EXPECT_EQ(box()->Get<Sprite>()->zLayer, 1.0f);
    Undo();
    Undo();
    EXPECT_EQ(box()->Get<Probe>(), nullptr);
    Redo();
    ASSERT_NE(box()->Get<Probe>(), nullptr);
    Point(100, -150);
    Chord(kKeyD);  // a copy, then deleted
    ASSERT_NE(Find("clone"), nullptr);
    Key(kKeyDelete);
    Frames(2);
    EXPECT_EQ(Find("clone"), nullptr);
    Undo();
    ASSERT_NE(Find("clone"), nullptr);
    Undo();
    Frames(2);
    EXPECT_EQ(Find("clone"), nullptr);
    Redo();
    EXPECT_NE(Find("clone"), nullptr);
    // A new edit drops what was undone; undoing past the start stops there.
    Undo();
    Frames(2);
    Click(-150, -90);
    Key(kKeyRight);
    Redo();
    EXPECT_THAT(recorder.trace, HasSubstr("nothing to redo"));
    for (int i = 0; i < 12; ++i) Undo();
    EXPECT_EQ(Find("clone"), nullptr);
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space");
    Chord(kKeyS);
    EXPECT_EQ(testing_content::ReadText(content.root / "Spaces/stage.txt"), first);

    // Closing in the middle of typing a value leaves it as it was.
    Click(-150, -90);
    ClickField("0");
    Type("99");
    Key(Input::kKeyEscape);
    Frames(2);
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(Find("sign")->Require<Transform>()->translation.x, -150.0f);
}

TEST_F(MapEditorTest, ValuesThatWouldNotLoadAndNamesInUseAreRefused)
{
    Click(-150, -90);
    EditRow(0, "1e39");
    EXPECT_THAT(Text("0"), HasSubstr("refused"));
    EXPECT_EQ(Find("sign")->Require<Transform>()->translation.x, -150.0f);
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space");
    Retype("SpaceLayer", 3, "1e39");
    EXPECT_EQ(stage->zLayer, 0.0f);
    for (const char* name : {"Debug", "Splash", "MapEditorSpace", "a/b"}) {
        Retype("SpaceName", 5, name);
        EXPECT_EQ(Text("SpaceName"), "Space Name: stage") << name;
    }
    EXPECT_EQ(recorder.Count("refused"), 6u) << recorder.trace;
    Chord(kKeyS);
    EXPECT_THAT(recorder.trace, HasSubstr("Spaces/stage.txt"));
    EXPECT_EQ(testing_content::ReadText(content.root / "Spaces/Splash.txt").find("sign"), std::string::npos);
}

// A designer's session over the shipped match: entities beyond the first screen of the object
// list, types from the drop-down and rows beyond the first ten; the save holds those edits and
// nothing else, and what the game looks up by name can be neither deleted nor renamed.
class MatchEditorTest : public MapEditorTest {
protected:
    void PrepareContent() override
    {
        fs::copy(fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor", content.root,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        content.Archetype("box.txt", EntityJson("box", 0, 0, "1"));
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        Probe::Register();
        RunOptions::Get().firstSpace = edited = "game";
        Start();
        Engine::Get()->events->AddListener(&recorder, &Recorder::OnTrace);
        Frames(3);
        stage = Engine::Get()->FindSpace("game");
        Open();
    }
    void Edit(const std::string& entity, const std::string& type, const std::string& property, const std::string& value)
    {
        SelectFromList(entity);
        ASSERT_EQ(editor->Selected(), Find(entity)) << entity;
        ChooseComponentType(type);
        EditProperty(property, value);
    }
};

TEST_F(MatchEditorTest, ASessionOverTheMatchSavesExactlyItsEdits)
{
    const std::string original = testing_content::ReadText(content.root / "Spaces/game.txt");
    Edit("levelLogic", "Timer", "secondsOfGame", "90");
    Edit("levelLogic", "BallManager", "time_between_balls", "3");
    Edit("Player0", "BehaviorPlayer", "lives", "7");
    Edit("HitEffect_Player1Pos4", "ParticleEmitter", "isActive", "true");
    EXPECT_EQ(Find("HitEffect_Player1Pos4")->Require<ParticleEmitter>()->isActive, true);

    // Refused: what the game looks up, and a space that exists.
    SelectFromList("Player0");
    Retype("SelectedName", 0, "x");
    EXPECT_NE(Find("Player0"), nullptr);
    EXPECT_THAT(recorder.trace, HasSubstr("\"Player0\" is needed by \"levelLogic\" (BallManager)"));
    SelectFromList("TimerMin");
    Key(kKeyDelete);
    Frames(2);
    EXPECT_NE(Find("TimerMin"), nullptr);
    Retype("SpaceName", 4, "MainMenu");
    EXPECT_EQ(Text("SpaceName"), "Space Name: game");
    Retype("SpaceName", 4, "arena");
    EXPECT_EQ(Text("SpaceName"), "Space Name: arena");
    Undo();
    EXPECT_EQ(Text("SpaceName"), "Space Name: game");
    Chord(kKeyS);

    rapidjson::Document before, after;
    before.Parse(original.c_str());
    after.Parse(testing_content::ReadText(content.root / "Spaces/game.txt").c_str());
    ASSERT_TRUE(after.IsObject()) << recorder.trace;
    auto& a = before["entities"];
    auto& b = after["entities"];
    ASSERT_EQ(a.Size(), b.Size());
    auto set = [&](const char* entity, const char* type, const char* member, rapidjson::Value value) {
        for (auto& object : a.GetArray())
            if (std::string(object["name"].GetString()) == entity) object[type][member] = value;
    };
    set("levelLogic", "Timer", "secondsOfGame", rapidjson::Value(90.0));
    set("levelLogic", "BallManager", "time_between_balls", rapidjson::Value(3));
    set("Player0", "BehaviorPlayer", "lives", rapidjson::Value(7));
    set("HitEffect_Player1Pos4", "ParticleEmitter", "isActive", rapidjson::Value(true));
    for (rapidjson::SizeType i = 0; i < a.Size(); ++i)
        EXPECT_TRUE(a[i] == b[i]) << Json(a[i]) << "\n" << Json(b[i]);
    for (const auto& object : b.GetArray()) EXPECT_NO_THROW(Entity(object, nullptr, "reloaded"));  // it reads back
}

TEST_F(MatchEditorTest, TheMainMenuCursorCannotBeDeleted)
{
    DevMessageEvent end("\\edit-end");
    Engine::Get()->events->Send(end);
    Frames(2);
    edited = "MainMenu";
    stage = Make("MainMenu");
    Open();
    SelectFromList("Mouse");
    Key(kKeyDelete);
    Frames(2);
    EXPECT_NE(stage->FindEntity("Mouse"), nullptr);
    EXPECT_THAT(recorder.trace, HasSubstr("\"Mouse\" is needed by \"background\" (MouseClickEventSender)"));
}

// ---------------------------------------------------------------- the real program

namespace program {

// The editor's gestures: clicks pressed in one frame and released in the next (a click
// that never drags), keys one frame apart.
class Script : public replay_run::Script {
public:
    Script& Wait(int frames) { return Same(replay_run::Script::Wait(frames)); }
    Script& Point(float x, float y) { return Same(replay_run::Script::Point(x, y)); }
    Script& Click(float x, float y) { return Same(replay_run::Script::Click(x, y, 4, 1)); }
    Script& Key(int code) { return Same(replay_run::Script::Key(code, 1)); }
    Script& Type(const std::string& text) { return Same(replay_run::Script::Type(text, 1)); }
    Script& Save() { return Same(KeyDown(kKeyLeftControl, 1).Key(kKeyS, 1).KeyUp(kKeyLeftControl, 2)); }

private:
    Script& Same(replay_run::Script&) { return *this; }
};

using replay_run::GameRun;

GameRun Play(const fs::path& data, const Script& script, const std::string& options)
{
    return replay_run::Play(script, 0, options, data.string());
}


// A copy of the game's content, removed at the end.
struct ContentCopy {
    explicit ContentCopy(const std::string& tag)
    {
        std::string pattern = (fs::temp_directory_path() / ("volleyrun-editor-" + tag + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
        root = pattern;
        fs::copy(fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor", root, fs::copy_options::recursive);
    }
    ~ContentCopy() { fs::remove_all(root); }
    rapidjson::Document Game() const
    {
        rapidjson::Document game;
        game.Parse(testing_content::ReadText(root / "Spaces/game.txt").c_str());
        return game;
    }
    fs::path root;
};

// Opens the editor over the match early, before anything is spawned by the music.
Script OpenOverTheMatch()
{
    Script script;
    script.Wait(5).Key(92).Type("edit-open-game").Key(Input::kKeyEnter).Wait(5);
    return script;
}

// A corner of the left player's outer platform, clear of the musician standing on it; no
// game code needs that platform by name, so the renamed match still plays.
constexpr float kPlatformX = -450.0f, kPlatformY = -240.0f;

TEST(MapEditorProgramTest, AnEditOfTheMatchIsSavedExactlyAndTheMatchResumes)
{
    // Same timing twice: once only saving, once editing before the save. The two files
    // then differ by the edits alone.
    Script plain = OpenOverTheMatch();
    Script edit = OpenOverTheMatch();
    edit.Click(kPlatformX, kPlatformY).Key(kKeyRight).Key(kKeyRight).Key(kKeyUp);
    // Row 4 is the rotation. Letters that move the players (Q W E, P O I) and swing them
    // (C, M), and the platform keys K and L, are kept out of the typing: the match hears
    // keys while it is paused.
    edit.Click(264.0f + 40.0f, 259.0f - 11.2f * 4).Type("30").Key(Input::kKeyEnter);
    edit.Click(-330.0f + 60.0f, 210.0f);  // "Selected Name: Platform0Pos4"
    for (int i = 0; i < 13; ++i) edit.Key(Input::kKeyBackspace);
    edit.Type("hut").Key(Input::kKeyEnter).Point(0, -100);
    plain.Wait(edit.Frame() - plain.Frame());
    for (Script* script : {&plain, &edit}) script->Save().Key(Input::kKeyEscape).Wait(60);

    ContentCopy before("plain"), after("edit");
    GameRun first = Play(before.root, plain, "--space game --frames " + std::to_string(plain.Frame()));
    GameRun second = Play(after.root, edit, "--space game --frames " + std::to_string(edit.Frame()));
    ASSERT_EQ(first.status, 0) << first.output;
    ASSERT_EQ(second.status, 0) << second.output;
    for (const GameRun* run : {&first, &second}) {
        EXPECT_NE(run->output.find("saved "), std::string::npos) << run->output;
        EXPECT_EQ(run->Space("MapEditorSpace"), nullptr);
        const rapidjson::Value* game = run->Space("game");
        ASSERT_NE(game, nullptr);
        EXPECT_FALSE((*game)["paused"].GetBool());
    }

    rapidjson::Document a = before.Game(), b = after.Game();
    ASSERT_TRUE(a.IsObject() && b.IsObject());
    auto& listA = a["entities"];
    auto& listB = b["entities"];
    ASSERT_EQ(listA.Size(), listB.Size());
    int changed = 0;
    for (rapidjson::SizeType i = 0; i < listA.Size(); ++i) {
        if (std::string(listA[i]["name"].GetString()) != "Platform0Pos4") {
            EXPECT_TRUE(listA[i] == listB[i]) << "entity " << i << " " << Json(listA[i]) << "\n" << Json(listB[i]);
            continue;
        }
        ++changed;
        EXPECT_STREQ(listB[i]["name"].GetString(), "hut");
        auto& t = listB[i]["Transform"];
        EXPECT_NEAR(t["translationX"].GetDouble(), listA[i]["Transform"]["translationX"].GetDouble() + 30.0, 1e-3);
        EXPECT_NEAR(t["translationY"].GetDouble(), listA[i]["Transform"]["translationY"].GetDouble() + 15.0, 1e-3);
        EXPECT_EQ(t["rotation"].GetDouble(), 30.0);
        listB[i]["name"].SetString("Platform0Pos4");
        for (const char* member : {"translationX", "translationY", "rotation"})
            t[member].SetDouble(listA[i]["Transform"][member].GetDouble());
        EXPECT_TRUE(listA[i] == listB[i]) << "other members changed: " << Json(listA[i]) << "\n" << Json(listB[i]);
    }
    EXPECT_EQ(changed, 1);

    // The saved match loads and plays.
    GameRun again = Play(after.root, Script(), "--space game --frames 30");
    EXPECT_EQ(again.status, 0) << again.output;
}

// Escape reaches the match's pause logic too; the match and its music must still carry on
// from where they stopped, as if the editor had never been open.
TEST(MapEditorProgramTest, AMatchClosedWithEscapePlaysOnAsIfTheEditorHadNotBeenOpen)
{
    Script script = OpenOverTheMatch();
    script.Wait(10).Key(Input::kKeyEscape);
    GameRun edited = Play(fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor", script, "--space game --frames 1500");
    GameRun plain = Play(fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor", Script(), "--space game --frames 1500");
    ASSERT_EQ(edited.status, 0) << edited.output;
    ASSERT_EQ(plain.status, 0) << plain.output;
    auto shown = [](const GameRun& run) {
        std::vector<std::string> texts;
        const rapidjson::Value* game = run.Space("game");
        if (!game) return texts;
        for (const auto& entity : (*game)["entities"].GetArray()) {
            std::string name = entity["name"].GetString();
            if (name == "TimerMin" || name == "TimerSec" || name.rfind("PlayerScore", 0) == 0)
                texts.push_back(name + " " + entity["SpriteText"]["text"].GetString());
        }
        return texts;
    };
    ASSERT_EQ(shown(plain).size(), 4u);
    EXPECT_NE(shown(plain)[0] + shown(plain)[1], "TimerMin 02TimerSec 00");  // the clock ran
    EXPECT_EQ(shown(edited), shown(plain));
}

} // namespace program

} // namespace
