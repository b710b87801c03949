// MapEditor: the designers' in-game editor. Lives on the "mapEditor" entity of the overlay
// space "MapEditorSpace", which the engine's "\edit-open-<space>" command creates over the
// space to edit and then hands that space to SetEditedSpace before the overlay's first
// update. While open it pauses the edited space, selects, moves, scales, rotates, re-layers,
// duplicates and deletes its entities, edits component properties through the overlay's
// text fields and saves the space or an archetype. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"
#include "spaceref.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <rapidjson/document.h>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volleyrun {

class AuthoredSpace;
class DestroySpaceEvent;
class DevMessageEvent;
class DrawEvent;
class MapEditorSelectedEvent;
class Space;
class TriggerEvent;
class UpdateEvent;

class MapEditor : public ComponentOf<MapEditor, kMapEditor> {
public:
    enum class Tool { kTranslate, kScale, kRotate, kZLayer };
    static constexpr const char* kOverlaySpace = "MapEditorSpace";  // the editor's own space
    static constexpr int kRowCount = 10;
    static constexpr size_t kObjectSlots = 54;  // object list entries on screen: two columns of 27
    static constexpr size_t kTypeSlots = 48;    // component-type entries on screen: two columns of 24
    static constexpr float kPanelY = 150.0f;  // pointer y (camera removed) from which the panel starts

    explicit MapEditor(Entity* owner);
    ~MapEditor() override;

    void Initialize() override;
    void Terminate() override;
    void Serialize(std::vector<Property>&) override {}

    // Called by the engine right after it built the overlay, before the overlay initialises.
    void SetEditedSpace(Space* space);
    Space* EditedSpace() const;  // null once that space is gone
    Entity* Selected() const { return selected_.Get(); }
    Component* CurrentComponent() const;
    int CurrentComponentType() const { return currentType_; }
    Tool CurrentTool() const { return tool_; }

    // Stores text into the property by its kind; false (property unchanged) when the text
    // does not read as that kind. Bool takes only "true" and "false".
    static bool WriteProperty(const Property& property, const std::string& text);
    // Puts a typed value through the checks loading makes (the member's kind, range and
    // limit, then the component's own Check) on a copy of component; only a value that passes
    // is stored. Returns "" or the reason it was refused. where names the component in messages.
    static std::string WriteChecked(Component& component, size_t index, const std::string& text, const std::string& where);
    // The entity of the edited space, and its component, by which the running game looks up
    // target's name: "\"levelLogic\" (BallManager)"; "" when nothing does. Deleting, the
    // target's own components do not count.
    std::string NeededBy(const Entity& target, bool deleting) const;
    // A name the component type looks up that no entity of the edited space has, or "".
    std::string MissingFor(const Component& prototype) const;
    bool Unsaved() const;
    // The first property shown in row 0, entity in the object list's first entry and type in
    // the type list's first entry.
    size_t FirstRow() const { return rowFirst_; }
    size_t FirstObject() const { return objectFirst_; }
    size_t FirstType() const { return typeFirst_; }
    void Undo();
    void Redo();
    // "name: value" as a property row shows it (floats with "%f").
    static std::string ShowProperty(const Property& property);

    void OnUpdate(UpdateEvent& event);
    void OnDraw(DrawEvent& event);
    void OnDevMessage(DevMessageEvent& event);
    void OnDestroySpace(DestroySpaceEvent& event);
    void OnSelected(MapEditorSelectedEvent& event);
    void OnTrigger(TriggerEvent& event);

    glm::vec2 translateStep{15.0f, 15.0f};
    glm::vec2 scaleStep{15.0f, 15.0f};
    float rotationStep = 15.0f;  // degrees
    int32_t layerStep = 1;

private:
    // Initialisation.
    void FindOverlayEntities();
    std::vector<Entity*> Fields() const;
    void ListenToFields();
    void TintFields();
    void BuildTypeList();
    void SetTypeListShown(bool shown);
    // The update steps, in the order they run.
    void UpdatePointer();
    bool OverOverlayControl() const;
    void SendHitTest();
    void CreateFromArchetype();
    void SpawnCurrentArchetype();
    void PanCamera();
    glm::vec2 CameraPositionPan() const;
    void Duplicate();
    void ApplyTool();
    glm::vec2 Arrowed(glm::vec2 value, glm::vec2 step) const;
    void NextArchetype();
    void ShowArchetype();
    void SaveSpace();
    void SaveArchetype();
    bool StoreArchetype(const Entity& source, const std::string& name);
    const rapidjson::Value* AuthoredObject(const Entity& entity) const;
    // Writes the named properties of the entity's component into the authored record.
    void Record(Entity& entity, int type, std::initializer_list<const char*> names);
    void Commit();
    void CommitSteps();
    void CommitSpace();
    void CommitSelected();
    void DeleteSelected();
    void RefreshRows();
    void RefreshFields();
    void ShowField(Entity* field, const std::string& value);
    void SyncObjectList();
    void AddObjectEntry();
    // Tool helpers.
    glm::vec2 ToolValue(Entity& entity) const;
    void SetToolValue(Entity& entity, glm::vec2 value);
    glm::vec2 ToolStep() const;
    void ChooseTool(Entity* box);
    void PaintToolBackground(Entity* box, glm::vec4 colour);
    // Selection and components.
    void Select(Entity* entity);
    void ShowSelection();
    void ChooseType(int type);
    std::string LabelledType() const;
    void AddComponentToSelected();
    void RemoveComponentFromSelected();
    void RebuildWithout(Entity& entity, int type);
    // Scrolling: the list under the pointer moves by the wheel, the arrows and the page keys.
    void ScrollLists();
    static void Scroll(size_t& first, long long delta, size_t count, size_t slots);
    void ShowTypeList();
    // Refused operations: traced, and shown across the property rows until the next click.
    void Refuse(const std::string& text);
    std::string RowText(size_t index, const std::vector<Property>& properties) const;
    void ShowRowsHint(size_t count);
    // Undo history. Entities are named in steps by a key that stays valid when an undo brings
    // a deleted entity back as a new object.
    struct Step {
        std::string what;
        std::vector<std::function<void()>> undo, redo;
    };
    using Values = std::shared_ptr<rapidjson::Document>;  // property name -> value, as the file holds it
    void Push(Step step);
    int KeyOf(const Entity& entity);
    Entity* Keyed(int key) const;
    Values ValuesOf(Component& component, const std::vector<std::string>& names) const;
    void ApplyValues(int key, int type, const Values& values);
    void PushValues(Entity& entity, int type, const Values& before, const std::string& what);
    std::vector<std::string> ToolProperties() const;
    int ToolComponent() const;
    void FinishDrag();
    void SetEntityString(int key, bool archetype, const std::string& value);
    Step DeletionStep(Entity& entity);
    Step CreationStep(Entity& created);
    void DeleteKeyed(int key);
    void Restore(int key, const Values& object, size_t place);
    void AddComponentKeyed(int key, const std::string& typeName, const Values& live);
    void RemoveComponentKeyed(int key, const std::string& typeName);
    Values AuthoredCopy(const Entity& entity) const;  // null for an entity the file does not hold
    void RestoreAuthored(int key, const Values& object);
    void SetSaveName(const std::string& name);
    void SetSpaceLayer(float layer);
    std::string SpaceNameRefusal(const std::string& name) const;
    std::string SavePath() const;
    void EndRowEdit(Entity* row);
    void AfterPropertyWrite(Component& component);
    void EmptyRows();
    // Trigger kinds.
    void OnButton(Entity* sender);
    void OnTextBox(Entity* sender, int state);
    void OnListEntry(Entity* entry);
    void Close();
    void Trace(const std::string& line) const;

    SpaceRef edited_;              // checked against the engine's live spaces before every use
    EntityRef selected_;
    glm::vec2 grabOffset_{0.0f};   // selected translation minus the pointer at selection
    glm::vec2 pointer_{0.0f};      // world position of the cursor's tip, camera included
    glm::vec2 pan_{0.0f};          // camera position / 3: world units the view was panned by
    glm::vec2 cursorWritten_{0.0f};  // overlay cursor translation as this editor last set it
    glm::vec3 cameraAtOpen_{0.0f};  // put back when the editor closes
    bool overPanel_ = false;
    bool focusedField_ = false;    // one of the overlay's fields has the keyboard
    bool closing_ = false;         // the overlay's destruction is queued
    bool panArmed_ = false;
    bool createArmed_ = false;     // left button went down in the archetype corner
    bool createInCorner_ = false;  // ... and has been seen there while held
    bool typeListShown_ = false;
    bool ownHitTest_ = false;      // the edited space has no hit test of its own
    int currentType_ = kTransform;
    EntityRef textEditing_;        // the property row being typed into
    Tool tool_ = Tool::kTranslate;
    glm::vec2 dragStartValue_{0.0f};
    glm::vec2 dragStartPointer_{0.0f};
    size_t archetypeIndex_ = 0;    // index into the archetype store of the current archetype
    // Overlay entities, found by name at initialisation.
    Entity* cursor_ = nullptr;     // the overlay's "Mouse"; may be missing
    Entity* saveArch_ = nullptr;
    Entity* saveSpace_ = nullptr;
    Entity* removeComp_ = nullptr;
    Entity* addComp_ = nullptr;
    Entity* currentComponentLabel_ = nullptr;
    Entity* currentArch_ = nullptr;
    Entity* selectedName_ = nullptr;
    Entity* selectedArch_ = nullptr;
    Entity* spaceName_ = nullptr;
    Entity* spaceLayer_ = nullptr;
    std::array<Entity*, 4> toolBoxes_{};  // Translate, Scale, Rotate, ZLayer, in Tool order
    std::array<Entity*, kRowCount> rows_{};
    std::vector<EntityRef> typeEntries_;  // the component-type drop-down, registry order
    std::unique_ptr<AuthoredSpace> authored_;  // what saving writes: the file plus the edits
    std::vector<EntityRef> objectEntries_;  // "ObjectList<n>": entity objectFirst_ + n of the edited space
    std::vector<int> typeOrder_;            // every registered type, registry order
    size_t rowFirst_ = 0, objectFirst_ = 0, typeFirst_ = 0;
    size_t editingIndex_ = 0;               // property index of the row being typed into
    std::string rowNote_;                   // why the last typed value was refused ...
    size_t rowNoteIndex_ = SIZE_MAX;        // ... in the row of that property
    std::vector<std::string> note_;         // a refusal shown across the rows
    Entity* rowsHint_ = nullptr;            // "HintRows"; may be missing
    std::string saveName_;                  // the file the space is saved as: its name at opening, or a rename
    std::string openedAs_;
    std::string saveLabel_;                 // the save button's text without the unsaved mark
    std::vector<Step> history_;
    size_t done_ = 0;                       // steps [0, done_) are applied
    std::optional<size_t> savedAt_ = 0;     // done_ at the last save; none once that state is gone
    std::vector<EntityRef> keys_;           // key -> the entity it names now
    struct Drag {
        int key;
        int type;
        Values before;
    };
    std::optional<Drag> drag_;              // a tool drag under way, recorded when the button is released
};

} // namespace volleyrun
