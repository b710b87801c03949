// The map editor over a small stage, driven through Input as a designer would (so the overlay's hit test, buttons
// and text boxes take part), with the game's real overlay and drop-down entry.
#include "archetypestore.h"
#include "authoredspace.h"
#include "input.h"
#include "mapeditor.h"
#include "menucontent.h"
#include "probe.h"
#include "sprite.h"
#include "spritetext.h"
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

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using testing_content::EntityJson;
using testing_content::ReadText;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kKeyD = 68, kKeyS = 83, kKeyY = 89, kKeyZ = 90, kKeyDelete = 261, kKeyRight = 262, kKeyUp = 265;
constexpr int kKeyPageUp = 266, kKeyPageDown = 267, kKeyLeftControl = 341;
const fs::path kShipped = fs::path(VOLLEYRUN_SOURCE_DIR) / "Quillmoor";
constexpr auto kOver = fs::copy_options::recursive | fs::copy_options::overwrite_existing;

// Trace lines and the match music's "Pause" values sent on the engine-wide manager.
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

class MapEditorTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        fs::copy_file(kShipped / "Spaces/MapEditorSpace.txt", content.root / "Spaces/MapEditorSpace.txt");
        fs::copy_file(kShipped / "Archetypes/DropDown.txt", content.root / "Archetypes/DropDown.txt");
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
        RunOptions::Get().firstSpace = edited;
        Start();
        Engine::Get()->events->AddListener(&recorder, &Recorder::OnTrace);
        Engine::Get()->events->AddListener(&recorder, &Recorder::OnParameter);
        Frames(3);
        stage = Engine::Get()->FindSpace(edited);
        if (edited == "stage")
            for (const char* name : {"box", "under", "sign"}) Find(name)->Require<Transform>()->scale = {40.0f, 40.0f};
        Open();
    }
    void Open()
    {
        Engine::Get()->events->Send(DevMessageEvent("\\edit-open-" + edited));
        Frames(3);
        overlay = Engine::Get()->FindSpace("MapEditorSpace");
        ASSERT_NE(overlay, nullptr) << recorder.trace;
        editor = overlay->RequireEntity("mapEditor")->Require<MapEditor>();
    }

    Entity* Find(const std::string& name) { return stage->FindEntity(name); }
    glm::vec2 Place(const std::string& name) { return Find(name)->Require<Transform>()->translation; }
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
    void Point(glm::vec2 at)
    {
        Input::Get()->OnCursor(960.0 + 1.8 * (at.x + 5.0), 540.0 - 1.8 * (at.y - 5.0));
        Frames(2);
    }
    void Click(glm::vec2 at)
    {
        Point(at);
        Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kPress);
        Frames(2);
        Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kRelease);
        Frames(3);
    }
    void Click(Entity* entity) { Click(entity->Require<Transform>()->translation); }
    // A field or button is clicked a little right of its left end (text boxes) or in its middle.
    void ClickField(const std::string& name)
    {
        Click(Field(name)->Require<Transform>()->translation + glm::vec2(Field(name)->Get<TextBox>() ? 20.0f : 0.0f, 0.0f));
    }
    void Key(int code)
    {
        Input::Get()->OnKey(code, Input::kPress);
        Frames(1);
        Input::Get()->OnKey(code, Input::kRelease);
        Frames(1);
    }
    // A key pressed and released while the modifier is held, from the frame before to the frame after.
    void Key(int code, int modifier)
    {
        Input::Get()->OnKey(modifier, Input::kPress);
        Frames(1);
        Key(code);
        Input::Get()->OnKey(modifier, Input::kRelease);
        Frames(1);
    }
    void Chord(int code) { Key(code, kKeyLeftControl); }
    void Type(const std::string& text)
    {
        for (char c : text) {
            if (c >= 'A' && c <= 'Z') Key(c, Input::kKeyLeftShift);
            else Key(c >= 'a' && c <= 'z' ? c - 32 : c);
        }
    }
    // Clicks a field, erases that many characters, types and presses Enter.
    void Retype(const std::string& field, int erase, const std::string& text)
    {
        ClickField(field);
        for (int i = 0; i < erase; ++i) Key(Input::kKeyBackspace);
        Type(text);
        Key(Input::kKeyEnter);
        Frames(2);
    }
    void EditRow(int row, const std::string& value) { Retype(std::to_string(row), 0, value); }
    // The overlay entity named prefix... that shows text, if any.
    Entity* Listed(const std::string& prefix, const std::string& text)
    {
        for (const auto& entity : overlay->Entities())
            if (entity->name.rfind(prefix, 0) == 0 && entity->Require<SpriteText>()->text == text) return entity.get();
        return nullptr;
    }
    void ChooseComponentType(const std::string& type)
    {
        ClickField("CurrentComponent");
        Entity* entry = Listed("ComponentList", type);
        ASSERT_NE(entry, nullptr) << "no list entry for " << type;
        Click(entry);
    }
    // Brings the entity into the object list from its top down (the wheel, then Page Down) and clicks it.
    void SelectFromList(const std::string& name)
    {
        glm::vec2 first = Field("ObjectList0")->Require<Transform>()->translation;
        Point(first);
        for (int turn = 0; turn < 10 && editor->FirstObject() > 0; ++turn) Key(kKeyPageUp);
        for (int turn = 0; turn < 12; ++turn) {
            if (Entity* entry = Listed("ObjectList", name)) return Click(entry);
            Point(first);
            if (turn > 0) Key(kKeyPageDown);
            else { Input::Get()->OnScroll(-1.0); Frames(1); }
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
        glm::vec2 row = Field("0")->Require<Transform>()->translation;
        for (int turn = 0; turn < 10 && index >= editor->FirstRow() + MapEditor::kRowCount; ++turn) {
            Point(row + glm::vec2(40.0f, 0.0f));
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

// Every shipped space and archetype, loaded and saved without a change, is its file again, byte for byte.
class ShippedContentTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override { fs::copy(kShipped, content.root, kOver); }
};

TEST_F(ShippedContentTest, SavingWithoutChangesGivesEveryFileBackByteForByte)
{
    Start();
    for (const auto& file : fs::directory_iterator(content.root / "Spaces")) {
        Space* space = Make(file.path().stem().string());
        ASSERT_NE(space, nullptr) << file.path();
        EXPECT_EQ(AuthoredSpace(*space).Text(), ReadText(file.path())) << file.path();
    }
    for (const auto& file : fs::directory_iterator(content.root / "Archetypes")) {
        if (file.path().filename().string()[0] == '.') continue;  // not an archetype
        std::string before = ReadText(file.path());
        const rapidjson::Value* object = ArchetypeStore::Get()->Authored(file.path().stem().string());
        ASSERT_NE(object, nullptr) << file.path();
        ArchetypeStore::Get()->Save(*object);
        EXPECT_EQ(ReadText(file.path()), before) << file.path();
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
// must load again, what is refused leaves the value as it was, and nothing crashes.
TEST(MapEditorRowTest, NoTypedValueMakesAComponentThatWouldNotLoad)
{
    std::mt19937 random(17);
    std::vector<std::string> hostile = {"", " ", "0", "1", "-1", "-0", "1e39", "-1e39", "1e999", "nan", "inf", "1e-50",
                                        "2147483648", "-2147483649", "4294967296", "99999999999999999999", "0x10", "true",
                                        "false", "null", "{}", std::string("\x01\t\"\\", 4), std::string(300, '9')};
    for (int i = 0; i < 12; ++i) {
        hostile.emplace_back();
        for (int n = 1 + static_cast<int>(random() % 12); n > 0; --n) hostile.back() += "0123456789-+.eE xn"[random() % 18];
    }
    ComponentRegistry::Start()->ForEach([&](const std::string& name, const Component& prototype) {
        Entity holder("holder");
        Component& component = *holder.AddComponent(prototype);
        std::vector<Property> properties;
        component.Serialize(properties);
        for (size_t row = 0; row < properties.size(); ++row) {
            for (const std::string& text : hostile) {
                std::string before = MapEditor::ShowProperty(properties[row]);
                std::string reason = MapEditor::WriteChecked(component, row, text, name);
                EXPECT_TRUE(reason.empty() || MapEditor::ShowProperty(properties[row]) == before) << name << " " << text;
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
    Entity knob("knob");
    Component* slider = knob.AddComponent(*ComponentRegistry::Get()->Find("Slider"));
    EXPECT_THAT(MapEditor::WriteChecked(*slider, 2, "1", "Slider"), HasSubstr("\"subDivisions\" must be at least 2"));
    ComponentRegistry::Destroy();
}

TEST_F(MapEditorTest, OpeningPausesTheSpaceAndEveryWayOfClosingResumesIt)
{
    EXPECT_EQ(editor->EditedSpace(), stage);
    stage->SetPaused(false);  // the space's own logic (the main menu's) cannot start it under the editor
    EXPECT_TRUE(stage->paused);
    Key(Input::kKeyEscape);
    Frames(1);
    EXPECT_FALSE(EditorOpen() || stage->paused);
    Open();
    Engine::Get()->events->Send(DevMessageEvent("\\edit-end"));
    Frames(2);
    EXPECT_FALSE(EditorOpen() || stage->paused);
    EXPECT_THAT(recorder.pause, ElementsAre(1.0f, 0.0f, 1.0f, 0.0f));
    // A space paused before (a match under its pause menu) is still paused after.
    stage->paused = true;
    Open();
    Key(Input::kKeyEscape);
    Frames(1);
    EXPECT_TRUE(stage->paused);
    EXPECT_EQ(recorder.pause.back(), 1.0f);
    // The edited space going away closes the editor, which must not reach it afterwards.
    stage->paused = false;
    Open();
    Engine::Get()->events->Send(DestroySpaceEvent(stage, 0.0f));
    Frames(3);
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(recorder.pause.back(), 0.0f);
}

TEST_F(MapEditorTest, ClicksSelectBelowThePanelButNeverInsideIt)
{
    Click({30, -60});
    ASSERT_EQ(editor->Selected(), Find("box"));
    EXPECT_EQ(Text("SelectedArch"), "Selected Arch: box");
    EXPECT_THAT(Text("0"), HasSubstr("translationX: 30.000000"));
    Click({0, 200});  // "under" lies beneath the panel
    EXPECT_EQ(editor->Selected(), Find("box"));
    Find("sign")->Require<Sprite>()->visible = false;  // hidden pictures are not picked
    Click({-150, -90});
    EXPECT_EQ(editor->Selected(), nullptr);
    Click({30, -60});
    Click({300, -200});  // empty ground
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
    Click({30, -60});
    for (int key : {kKeyRight, kKeyRight, kKeyUp}) Key(key);
    EXPECT_EQ(Place("box"), glm::vec2(60.0f, -45.0f));
    ClickField("Scale");  // the next tool
    Key(kKeyUp);  // the pointer is over the panel: tools wait
    EXPECT_EQ(Find("box")->Require<Transform>()->scale, glm::vec2(40.0f, 40.0f));
    Point({60, -45});
    Key(kKeyUp);
    EXPECT_EQ(Find("box")->Require<Transform>()->scale, glm::vec2(40.0f, 55.0f));
    // A layer change puts the entity after "sign" (layer 2) in the draw order.
    ClickField("ZLayer");
    Point({60, -45});
    for (int key : {kKeyRight, kKeyRight}) Key(key);
    EXPECT_EQ(Find("box")->Require<Sprite>()->zLayer, 3.0f);
    auto& list = stage->Entities();
    auto index = [&](const char* name) { return std::find_if(list.begin(), list.end(), [&](auto& e) { return e->name == name; }); };
    EXPECT_LT(index("sign"), index("box"));
    Key(kKeyDelete);
    Frames(2);
    EXPECT_EQ(Find("box"), nullptr);
    EXPECT_EQ(editor->Selected(), nullptr);
    EXPECT_EQ(stage->Entities().size(), count - 1);
    // Steps are positive numbers: a zero step would divide by zero when dragging; no float holds 1e39.
    Retype("Translate", 2, "40");
    Retype("Rotate", 2, "0");
    Retype("Scale", 2, "1e39");
    EXPECT_EQ(editor->translateStep, glm::vec2(40.0f));
    EXPECT_EQ(editor->rotationStep, 15.0f);
    EXPECT_EQ(editor->scaleStep, glm::vec2(15.0f));
}

TEST_F(MapEditorTest, ComponentsAreAddedAndRemovedWithTheirSiblingsIntact)
{
    Click({-150, -90});
    ChooseComponentType("Probe");
    ClickField("AddCompButton");
    Entity* sign = Find("sign");
    ASSERT_NE(sign->Get<Probe>(), nullptr) << recorder.trace;
    EXPECT_EQ(Text("0"), "count: 7");
    EditRow(0, "12");
    ChooseComponentType("Sprite");
    ClickField("RemoveCompButton");
    EXPECT_EQ(sign->Get<Sprite>(), nullptr);
    EXPECT_EQ(editor->CurrentComponent(), nullptr);
    ASSERT_NE(sign->Get<Probe>(), nullptr);
    EXPECT_EQ(sign->Get<Probe>()->count, 12);  // the others keep their values
    // A hit test needs the space's "Mouse" every update: without one it is not added.
    ChooseComponentType("MouseClickEventSender");
    ClickField("AddCompButton");
    EXPECT_EQ(sign->GetComponent(kMouseClickEventSender), nullptr);
    EXPECT_THAT(recorder.trace, HasSubstr("\"Mouse\", which this space lacks"));
    // Adding a type the entity has already leaves it alone.
    ChooseComponentType("Transform");
    ClickField("AddCompButton");
    EXPECT_EQ(Place("sign"), glm::vec2(-150.0f, -90.0f));
}

// A save holds what the file held and what was placed, not what the game spawned; a failed save keeps the file.
TEST_F(MapEditorTest, SavingWritesWhatTheFileHeldAndWhatWasPlacedButNotWhatTheGameSpawned)
{
    Key(Input::kKeyEscape);
    Frames(1);
    ArchetypeStore::Spawn("box", "spark", *stage, true);  // as a meter spawns its notches
    Open();
    Click({30, -60});
    Retype("SelectedName", 5, "crate");  // the label stays
    EXPECT_EQ(Find("crate"), editor->Selected());
    Point({100, -150});
    Chord(kKeyD);
    ASSERT_NE(Find("clone"), nullptr);
    EXPECT_TRUE(editor->Selected() == Find("clone") && Place("clone") == glm::vec2(30.0f, -60.0f));
    ClickField("SaveSpaceButton");
    Chord(kKeyS);
    EXPECT_EQ(recorder.Count("saved "), 2u) << recorder.trace;
    Point({100, -150});  // a press begun off the button and released on it is no click
    Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kPress);
    Point(Field("SaveSpaceButton")->Require<Transform>()->translation);
    Input::Get()->OnMouseButton(Input::kMouseLeft, Input::kRelease);
    Frames(3);
    EXPECT_EQ(recorder.Count("saved "), 2u);
    const std::string before = ReadText(content.root / "Spaces/stage.txt");
    rapidjson::Document saved;
    saved.Parse(before.c_str());
    ASSERT_TRUE(saved.IsObject()) << recorder.trace;
    std::vector<std::string> names;
    for (const auto& entity : saved["entities"].GetArray()) names.push_back(entity["name"].GetString());
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("crate", "clone", "under", "sign", "probe"));
    // A folder where the temporary would go makes the write fail, even for root.
    fs::create_directory(content.root / "Spaces/.stage.txt.saving");
    Key(kKeyRight);
    ClickField("SaveSpaceButton");
    EXPECT_EQ(recorder.Count("saved "), 2u);
    EXPECT_THAT(recorder.trace, HasSubstr("save failed"));
    EXPECT_EQ(ReadText(content.root / "Spaces/stage.txt"), before);
}

TEST_F(MapEditorTest, AnArchetypeIsSavedUnderItsNameAndReplacedInPlace)
{
    const auto& store = ArchetypeStore::Get()->Archetypes();
    size_t count = store.size();
    auto position = std::find_if(store.begin(), store.end(), [](auto& e) { return e->name == "box"; }) - store.begin();
    Click({30, -60});
    ClickField("Scale");
    Point({30, -60});
    Key(kKeyRight);
    ClickField("SaveArchButton");
    EXPECT_EQ(recorder.Count("saved "), 1u) << recorder.trace;
    ASSERT_EQ(store.size(), count);
    EXPECT_EQ(store[position]->Require<Transform>()->scale.x, 55.0f);
    rapidjson::Document file;
    file.Parse(ReadText(content.root / "Archetypes/box.txt").c_str());
    ASSERT_TRUE(file.IsObject());
    EXPECT_STREQ(file["name"].GetString(), "box");
    EXPECT_EQ(file["Transform"]["scaleX"].GetDouble(), 55.0);
}

// Each kind of edit goes back and comes again; the save button carries a mark while the
// space differs from its last save, and a save after undoing everything is the first save.
TEST_F(MapEditorTest, EveryKindOfEditIsUndoneAndRedone)
{
    Chord(kKeyS);
    const std::string first = ReadText(content.root / "Spaces/stage.txt");
    Undo();
    EXPECT_THAT(recorder.trace, HasSubstr("nothing to undo"));
    Click({30, -60});
    auto box = [&] { return Find("box") ? Find("box") : Find("crate"); };
    // Undoes and redoes the last edit, with what fact shows after each.
    auto back = [&](const char* edit, auto fact, auto before, auto after) {
        Undo();
        EXPECT_EQ(fact(), before) << edit;
        Redo();
        EXPECT_EQ(fact(), after) << edit;
    };
    Key(kKeyRight);
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space *");
    back("a move", [&] { return box()->Require<Transform>()->translation.x; }, 30.0f, 45.0f);
    EditRow(1, "-75");
    back("a property", [&] { return box()->Require<Transform>()->translation.y; }, -60.0f, -75.0f);
    Retype("SelectedName", 3, "crate");
    back("a rename", [&] { return Find("crate") != nullptr; }, false, true);
    ChooseComponentType("Probe");  // a component added and one removed
    ClickField("AddCompButton");
    EditRow(0, "12");
    ChooseComponentType("Sprite");
    ClickField("RemoveCompButton");
    Undo();
    ASSERT_NE(box()->Get<Sprite>(), nullptr);
    EXPECT_EQ(box()->Get<Sprite>()->zLayer, 1.0f);
    Undo();
    back("a component added", [&] { return box()->Get<Probe>() != nullptr; }, false, true);
    Point({100, -150});
    Chord(kKeyD);  // a copy, then deleted
    Key(kKeyDelete);
    Frames(2);
    auto clone = [&] { return Find("clone") != nullptr; };
    back("a delete", clone, true, false);
    Undo();
    back("a copy", clone, false, true);
    // A new edit drops what was undone; undoing past the start stops there.
    Undo();
    Frames(2);
    Click({-150, -90});
    Key(kKeyRight);
    Redo();
    EXPECT_THAT(recorder.trace, HasSubstr("nothing to redo"));
    for (int i = 0; i < 12; ++i) Undo();
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space");
    Chord(kKeyS);
    EXPECT_EQ(ReadText(content.root / "Spaces/stage.txt"), first);
    // Closing in the middle of typing a value leaves it as it was.
    Click({-150, -90});
    ClickField("0");
    Type("99");
    Key(Input::kKeyEscape);
    Frames(2);
    EXPECT_FALSE(EditorOpen());
    EXPECT_EQ(Place("sign").x, -150.0f);
}

TEST_F(MapEditorTest, RowsTakeOnlyWhatReadsAsTheKindAndWouldLoadAndNamesInUseAreRefused)
{
    Click({-150, -90});
    EditRow(0, "left");  // refused in its row with the reason
    EXPECT_EQ(Text("0"), "translationX: refused, it must be a finite number");
    EditRow(0, "1e39");
    EXPECT_EQ(Place("sign").x, -150.0f);
    EXPECT_EQ(Text("SaveSpaceButton"), "Save Space");
    EditRow(1, "-75");  // translationY
    EXPECT_EQ(Place("sign").y, -75.0f);
    EXPECT_EQ(Text("1"), "translationY: -75.000000");
    Retype("SpaceLayer", 3, "1e39");
    EXPECT_EQ(stage->zLayer, 0.0f);
    for (const char* name : {"Debug", "Splash", "MapEditorSpace", "a/b"}) {
        Retype("SpaceName", 5, name);
        EXPECT_EQ(Text("SpaceName"), "Space Name: stage") << name;
    }
    EXPECT_EQ(recorder.Count("refused"), 7u) << recorder.trace;
    Chord(kKeyS);
    EXPECT_EQ(ReadText(content.root / "Spaces/Splash.txt").find("sign"), std::string::npos);
    // The drop-down picks the type; a row beyond the property list changes nothing.
    ChooseComponentType("Sprite");
    EXPECT_EQ(editor->CurrentComponent(), Find("sign")->Get<Sprite>());
    EditRow(0, "billboard.png");
    EXPECT_EQ(Find("sign")->Require<Sprite>()->imageName, "billboard.png");
    EditRow(1, "2x");  // a whole number with more after it
    EXPECT_EQ(Find("sign")->Require<Sprite>()->frameIndex, 0u);
    EditRow(9, "5");
    EXPECT_EQ(Text("9"), "");
}

// A session over the shipped match (entities and rows beyond the first screen, types from the drop-down) saves
// exactly its edits; what the game looks up by name can be neither deleted nor renamed.
class MatchEditorTest : public MapEditorTest {
protected:
    MatchEditorTest() { edited = "game"; }
    void PrepareContent() override { fs::copy(kShipped, content.root, kOver); }
};

TEST_F(MatchEditorTest, ASessionOverTheMatchSavesExactlyItsEdits)
{
    rapidjson::Document before, after;
    before.Parse(ReadText(content.root / "Spaces/game.txt").c_str());
    const struct { const char *entity, *type, *property, *value; } edits[] = {
        {"levelLogic", "Timer", "secondsOfGame", "90"}, {"levelLogic", "BallManager", "time_between_balls", "3"},
        {"Player0", "BehaviorPlayer", "lives", "7"}, {"HitEffect_Player1Pos4", "ParticleEmitter", "isActive", "true"}};
    for (const auto& edit : edits) {
        SelectFromList(edit.entity);
        ASSERT_EQ(editor->Selected(), Find(edit.entity)) << edit.entity;
        ChooseComponentType(edit.type);
        EditProperty(edit.property, edit.value);
        rapidjson::Document value;  // what the save must differ by
        value.Parse(edit.value);
        for (auto& object : before["entities"].GetArray())
            if (object["name"] == edit.entity) object[edit.type][edit.property].CopyFrom(value, before.GetAllocator());
    }
    // Refused: renaming or deleting what the game looks up.
    SelectFromList("Player0");
    Retype("SelectedName", 0, "x");
    EXPECT_NE(Find("Player0"), nullptr);
    EXPECT_THAT(recorder.trace, HasSubstr("\"Player0\" is needed by \"levelLogic\" (BallManager)"));
    SelectFromList("TimerMin");
    Key(kKeyDelete);
    Frames(2);
    EXPECT_NE(Find("TimerMin"), nullptr);
    Retype("SpaceName", 4, "arena");  // a space renamed, then undone
    EXPECT_EQ(Text("SpaceName"), "Space Name: arena");
    Undo();
    EXPECT_EQ(Text("SpaceName"), "Space Name: game");
    Chord(kKeyS);
    after.Parse(ReadText(content.root / "Spaces/game.txt").c_str());
    ASSERT_TRUE(after.IsObject()) << recorder.trace;
    auto& a = before["entities"];
    auto& b = after["entities"];
    ASSERT_EQ(a.Size(), b.Size());
    for (rapidjson::SizeType i = 0; i < a.Size(); ++i) EXPECT_TRUE(a[i] == b[i]) << b[i]["name"].GetString();
    for (const auto& object : b.GetArray()) EXPECT_NO_THROW(Entity(object, nullptr, "reloaded"));  // it reads back
}

} // namespace

} // namespace volleyrun
