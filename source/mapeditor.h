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
#include <initializer_list>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

class AuthoredSpace;
class DestroySpaceEvent;
class DevMessageEvent;
class DrawEvent;
class MapEditorSelectedEvent;
class Space;
class TriggerEvent;
class UpdateEvent;

class MapEditor : public ComponentOf<kMapEditor> {
public:
    enum class Tool { kTranslate, kScale, kRotate, kZLayer };
    static constexpr int kRowCount = 10;
    static constexpr float kPanelY = 150.0f;  // pointer y (camera removed) from which the panel starts

    explicit MapEditor(Entity* owner);
    ~MapEditor() override;

    void Initialize() override;
    void Terminate() override;
    std::unique_ptr<Component> Clone(Entity* newOwner) const override;
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
    void EndRowEdit(Entity* row);
    void AfterPropertyWrite(Component& component);
    void EmptyRows();
    // Trigger kinds.
    void OnButton(Entity* sender);
    void OnTextBox(Entity* sender, int state);
    void OnListEntry(Entity* entry);
    void Close();
    static bool IsRunningMatch(const Space& edited);
    // Stops (hold) or restarts the running match's music with the match.
    void HandMusicOver(const Space& edited, bool hold) const;
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
    std::vector<int> typeOfEntry_;        // component type of each drop-down entry
    std::unique_ptr<AuthoredSpace> authored_;  // what saving writes: the file plus the edits
    std::vector<EntityRef> objectEntries_;  // "ObjectList<n>", one per entity of the edited space
};
