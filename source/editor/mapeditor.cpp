#include "mapeditor.h"

#include "archetypestore.h"
#include "audioengine.h"
#include "authoredspace.h"
#include "button.h"
#include "camera.h"
#include "componentregistry.h"
#include "engine.h"
#include "entity.h"
#include "gameerror.h"
#include "jsonfile.h"
#include "input.h"
#include "mouseclickeventsender.h"
#include "runoptions.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"
#include "textbox.h"
#include "transform.h"

#include <glm/mat4x4.hpp>

#include <algorithm>
#include <set>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <fnmatch.h>

namespace volleyrun {

namespace {

// GLFW codes of the keys the editor reads.
constexpr int kKeyA = 65, kKeyD = 68, kKeyS = 83, kKeyW = 87, kKeyY = 89, kKeyZ = 90;
constexpr int kKeyDelete = 261, kArrowRight = 262, kArrowLeft = 263, kArrowDown = 264, kArrowUp = 265;
constexpr int kPageUp = 266, kPageDown = 267;
constexpr int kKeyLeftControl = 341;
constexpr int kMouseRight = 1;

constexpr float kPanStep = 5.0f;         // camera units per update while a pan key is held
constexpr float kCreateCornerX = -345.0f;  // the current-archetype corner: x at most this ...
constexpr float kListX = 400.0f;         // object list column, world x
constexpr float kListStep = 15.0f;       // list entries' spacing, world units
constexpr int kListRows = 27;            // entries per column before the list wraps left
constexpr float kListColumn = 140.0f;    // width of one list column
constexpr int kTypeRows = 24;            // component-type entries per column
constexpr float kTypeColumn = 140.0f;
constexpr int kWheelStep = 3;            // list entries per notch of the mouse wheel

const char* const kObjectPrefix = "ObjectList";
const char* const kToolNames[4] = {"Translate", "Scale", "Rotate", "ZLayer"};
// Spaces of the engine itself, which a saved space must never replace.
const char* const kEngineSpaces[] = {Engine::kDebugSpace, MapEditor::kOverlaySpace};

Input& In() { return *Input::Get(); }
bool Pressed(int key) { return In().Key(key) == kKeyPressed; }
bool Held(int key) { return In().Key(key) == kKeyHeld; }

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool ReadInt(const std::string& text, long long& value)
{
    std::string t = Trim(text);
    auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    return !t.empty() && error == std::errc() && end == t.data() + t.size();
}

bool ReadDouble(const std::string& text, double& value)
{
    std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(t.c_str(), &end);
    return end == t.c_str() + t.size() && errno == 0 && std::isfinite(value);
}

std::string Number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The overlay's fields are text boxes when the content gives them one, plain texts otherwise.
std::string FieldText(const Entity* field)
{
    if (const TextBox* box = field->Get<TextBox>()) return box->actualText;
    if (const SpriteText* text = field->Get<SpriteText>()) return text->text;
    return "";
}

void SetFieldText(Entity* field, const std::string& text)
{
    if (TextBox* box = field->Get<TextBox>()) box->SetText(text);
    else if (SpriteText* sprite = field->Get<SpriteText>()) sprite->SetText(text);
}

// The locked label of a field ("Translate: "): its text box's locked characters, or up to ": ".
size_t LabelLength(const Entity* field)
{
    const TextBox* box = field->Get<TextBox>();
    if (box && box->lockedChars > 0) return static_cast<size_t>(box->lockedChars);
    size_t colon = FieldText(field).find(": ");
    return colon == std::string::npos ? 0 : colon + 2;
}

std::string Label(const Entity* field) { return FieldText(field).substr(0, LabelLength(field)); }

std::string AfterLabel(const Entity* field)
{
    std::string text = FieldText(field);
    return Trim(text.substr(std::min(LabelLength(field), text.size())));
}

bool IsLive(const Space* space)
{
    if (!space || !Engine::Exists()) return false;
    for (const auto& live : Engine::Get()->spaces)
        if (live.get() == space) return !live->Detached();
    return false;
}

// The entity under point as the hit test finds it, among the ones a designer can see: a
// hidden full-screen picture (the match's victory art) must not swallow every click.
Entity* VisibleEntityAt(const Space& space, glm::vec2 point)
{
    Entity* best = nullptr;
    for (const auto& entity : space.Entities()) {
        const Sprite* sprite = entity->Get<Sprite>();
        Transform* transform = entity->Get<Transform>();
        if (!sprite || !transform || !sprite->visible || sprite->colour.a <= 0.0f || entity->name == "Mouse") continue;
        glm::vec2 half = glm::abs(transform->scale) * 0.5f, d = glm::abs(point - transform->translation);
        if (d.x > half.x || d.y > half.y) continue;
        if (!best || sprite->zLayer >= best->Get<Sprite>()->zLayer) best = entity.get();
    }
    return best;
}

bool HasHitTest(const Space& space)
{
    for (const auto& entity : space.Entities())
        if (entity->Get<MouseClickEventSender>()) return true;
    return false;
}

// The camera position in screen-scaled units, read back from its view (a pure translation).
glm::vec3 CameraPosition()
{
    const glm::mat4& view = Camera::Get()->GetView();
    return {-view[3][0], -view[3][1], -view[3][2]};
}

} // namespace

// ---------------------------------------------------------------- lifecycle

MapEditor::MapEditor(Entity* owner) : ComponentOf(owner) {}
MapEditor::~MapEditor() = default;

void MapEditor::SetEditedSpace(Space* space)
{
    // Editing its own overlay would pull the panel out from under the editor.
    edited_ = space == owner->space || !space ? SpaceRef() : space->Ref();
}

Space* MapEditor::EditedSpace() const
{
    Space* space = edited_.Get();
    return IsLive(space) ? space : nullptr;
}

void MapEditor::Initialize()
{
    EventManager& engine = EngineEvents();
    Listen(engine, &MapEditor::OnUpdate);
    Listen(engine, &MapEditor::OnDraw);
    Listen(engine, &MapEditor::OnDevMessage);
    Listen(engine, &MapEditor::OnDestroySpace);
    cameraAtOpen_ = CameraPosition();
    owner->space->paused = true;
    owner->space->widgetsLive = true;
    Space* edited = EditedSpace();
    if (edited) {
        edited->Hold();
        engine.Send(SpaceHeldEvent(edited->Ref(), true));
        edited->events->AddListener(this, &MapEditor::OnSelected);
        ownHitTest_ = !HasHitTest(*edited);
        authored_ = std::make_unique<AuthoredSpace>(*edited);
        saveName_ = openedAs_ = edited->name;
    }
    // The clock's song is muffled while a paused space is edited.
    engine.Send(ParameterChangeEvent(AudioEngine::kInGame, {{"Pause", edited && edited->paused ? 1.0f : 0.0f}}));
    FindOverlayEntities();
    ListenToFields();
    BuildTypeList();
    ShowSelection();
    if (!edited) {
        Trace("Map editor: no space to edit\n");
        Close();
    }
}

void MapEditor::Terminate()
{
    EventManager& engine = EngineEvents();
    bool stillPaused = false;
    if (Space* edited = EditedSpace()) {
        edited->events->RemoveListener<MapEditorSelectedEvent>(this);
        edited->Release();
        stillPaused = edited->paused;  // a match paused under its menu stays paused
        engine.Send(SpaceHeldEvent(edited->Ref(), false));
    }
    Camera::Get()->SetPosition(cameraAtOpen_.x, cameraAtOpen_.y, cameraAtOpen_.z);
    engine.Send(ParameterChangeEvent(AudioEngine::kInGame, {{"Pause", stillPaused ? 1.0f : 0.0f}}));
}

void MapEditor::Close()
{
    if (closing_) return;
    closing_ = true;
    // Queued: destroying the overlay now would free this component under its own handler.
    EngineEvents().Send(DestroySpaceEvent(owner->space, 0.0f));
}

void MapEditor::Trace(const std::string& line) const
{
    EngineEvents().Send(TraceEvent(line));
}

// ---------------------------------------------------------------- overlay set-up

void MapEditor::FindOverlayEntities()
{
    Space& overlay = *owner->space;
    saveArch_ = overlay.RequireEntity("SaveArchButton");
    saveSpace_ = overlay.RequireEntity("SaveSpaceButton");
    removeComp_ = overlay.RequireEntity("RemoveCompButton");
    addComp_ = overlay.RequireEntity("AddCompButton");
    currentComponentLabel_ = overlay.RequireEntity("CurrentComponent");
    currentArch_ = overlay.RequireEntity("CurrentArch");
    selectedName_ = overlay.RequireEntity("SelectedName");
    selectedArch_ = overlay.RequireEntity("SelectedArch");
    spaceName_ = overlay.RequireEntity("SpaceName");
    spaceLayer_ = overlay.RequireEntity("SpaceLayer");
    for (int t = 0; t < 4; ++t) toolBoxes_[t] = overlay.RequireEntity(kToolNames[t]);
    for (int r = 0; r < kRowCount; ++r) rows_[r] = overlay.RequireEntity(std::to_string(r));
    cursor_ = overlay.FindEntity("Mouse");
    rowsHint_ = overlay.FindEntity("HintRows");
    saveLabel_ = FieldText(saveSpace_);
}

std::vector<Entity*> MapEditor::Fields() const
{
    std::vector<Entity*> fields = {saveArch_,    saveSpace_,    removeComp_, addComp_,   currentComponentLabel_,
                                   selectedName_, selectedArch_, spaceName_,  spaceLayer_};
    fields.insert(fields.end(), toolBoxes_.begin(), toolBoxes_.end());
    fields.insert(fields.end(), rows_.begin(), rows_.end());
    return fields;
}

void MapEditor::ListenToFields()
{
    for (Entity* field : Fields()) ListenTo(*field, &MapEditor::OnTrigger);
    SetFieldText(currentComponentLabel_, "Current Component: Transform");
    SetFieldText(toolBoxes_[0], Label(toolBoxes_[0]) + Number(translateStep.x));
    SetFieldText(toolBoxes_[1], Label(toolBoxes_[1]) + Number(scaleStep.x));
    SetFieldText(toolBoxes_[2], Label(toolBoxes_[2]) + Number(rotationStep));
    SetFieldText(toolBoxes_[3], Label(toolBoxes_[3]) + std::to_string(layerStep));
    if (Space* edited = EditedSpace()) {
        SetFieldText(spaceName_, Label(spaceName_) + saveName_);
        SetFieldText(spaceLayer_, Label(spaceLayer_) + Number(edited->zLayer));
    }
    ShowArchetype();
    TintFields();
    ChooseTool(toolBoxes_[0]);
}

// Text box backgrounds come up white; white text needs a dark field. Unchosen tools are
// lighter, the chosen one green.
void MapEditor::TintFields()
{
    for (Entity* field : Fields())
        PaintToolBackground(field, glm::vec4(0.16f, 0.1f, 0.3f, 0.85f));
    PaintToolBackground(currentArch_, glm::vec4(0.35f, 0.2f, 0.5f, 0.9f));
    for (Entity* box : toolBoxes_) PaintToolBackground(box, glm::vec4(1.0f, 1.0f, 1.0f, 0.3f));
}

// Hidden "DropDown" entries in columns under the "CurrentComponent" label, which shows or
// hides them; they show the registered types from typeFirst_ on, in registry order.
void MapEditor::BuildTypeList()
{
    Space& overlay = *owner->space;
    glm::vec2 top = currentComponentLabel_->Require<Transform>()->translation;
    ComponentRegistry::Get()->ForEach([&](const std::string&, const Component& prototype) { typeOrder_.push_back(prototype.type); });
    for (size_t index = 0; index < std::min(typeOrder_.size(), kTypeSlots); ++index) {
        Entity* entry = ArchetypeStore::Spawn("DropDown", "ComponentList" + std::to_string(index), overlay, true);
        int i = static_cast<int>(index);
        if (Transform* t = entry->Get<Transform>())
            t->translation = top + glm::vec2(kTypeColumn * static_cast<float>(i / kTypeRows),
                                             -kListStep * static_cast<float>(i % kTypeRows + 1));
        ListenTo(*entry, &MapEditor::OnTrigger);
        typeEntries_.push_back(entry->Ref());
    }
    ShowTypeList();
    SetTypeListShown(false);
}

void MapEditor::ShowTypeList()
{
    for (size_t i = 0; i < typeEntries_.size(); ++i)
        if (Entity* entry = typeEntries_[i].Get()) SetFieldText(entry, ComponentRegistry::Get()->NameOf(typeOrder_[typeFirst_ + i]));
}

void MapEditor::SetTypeListShown(bool shown)
{
    typeListShown_ = shown;
    for (const EntityRef& ref : typeEntries_) {
        Entity* entry = ref.Get();
        if (!entry) continue;
        if (Sprite* sprite = entry->Get<Sprite>()) sprite->visible = shown;
        if (SpriteText* text = entry->Get<SpriteText>()) text->visible = shown;
    }
}

// ---------------------------------------------------------------- update

void MapEditor::OnUpdate(UpdateEvent&)
{
    if (closing_) return;
    if (Pressed(Input::kKeyEscape) && !In().textMode) {
        Close();
        return;
    }
    if (Pressed(Input::kMouseLeft)) note_.clear();
    UpdatePointer();
    SendHitTest();
    CreateFromArchetype();
    bool duplicate = Held(kKeyLeftControl) && Pressed(kKeyD) && Selected() && panArmed_;
    if (!duplicate) PanCamera();
    if (duplicate) Duplicate();
    if (Selected() && !overPanel_) ApplyTool();
    FinishDrag();
    ScrollLists();
    if (Held(kKeyLeftControl) && Pressed(kKeyZ) && !textEditing_) Undo();
    if (Held(kKeyLeftControl) && Pressed(kKeyY) && !textEditing_) Redo();
    if (Pressed(kMouseRight) && !overPanel_) NextArchetype();
    if (Held(kKeyLeftControl) && Pressed(kKeyS)) SaveSpace();
    if (Pressed(Input::kMouseLeft) || Pressed(Input::kKeyEnter)) Commit();
    if (Pressed(kKeyDelete) && Selected()) DeleteSelected();
    SyncObjectList();
    RefreshRows();
    RefreshFields();
}

// The pointer is the overlay cursor's tip; the panel is the top band of the screen, plus any
// visible list entry or button below it, so that clicking one never picks the entity behind.
void MapEditor::UpdatePointer()
{
    glm::vec3 camera = CameraPosition();
    pan_ = glm::vec2(camera.x, camera.y) / 3.0f;
    if (cursor_)
        pointer_ = cursor_->Require<Transform>()->translation +
                   glm::vec2(MouseClickEventSender::kTipX, MouseClickEventSender::kTipY);
    overPanel_ = pointer_.y - pan_.y >= kPanelY || textEditing_ || OverOverlayControl();
}

bool MapEditor::OverOverlayControl() const
{
    Entity* hit = MouseClickEventSender::EntityAt(*owner->space, pointer_);
    if (!hit || !hit->Get<Button>()) return false;
    const Sprite* sprite = hit->Get<Sprite>();
    return sprite && sprite->visible;
}

// The edited space learns what is under the pointer from the editor when it has no hit
// test of its own (the match has none).
void MapEditor::SendHitTest()
{
    Space* edited = EditedSpace();
    if (!edited || !ownHitTest_) return;
    Entity* hit = VisibleEntityAt(*edited, pointer_);
    edited->events->Send(MapEditorSelectedEvent(hit ? hit->Ref() : EntityRef()));
}

void MapEditor::OnSelected(MapEditorSelectedEvent& event)
{
    if (!Pressed(Input::kMouseLeft) || textEditing_ || In().textMode) return;
    UpdatePointer();
    if (overPanel_) return;
    Select(event.entity.Get());
}

// Dragging from the current-archetype corner of the panel out onto the stage creates a copy
// of that archetype, which then follows the pointer until the button is released.
void MapEditor::CreateFromArchetype()
{
    glm::vec2 panel = pointer_ - pan_;
    bool corner = panel.x <= kCreateCornerX && panel.y > kPanelY;
    int left = In().Key(Input::kMouseLeft);
    if (left == kKeyPressed) {
        createArmed_ = corner;
        createInCorner_ = false;
        return;
    }
    if (left != kKeyHeld || !createArmed_) return;
    if (corner) {
        createInCorner_ = true;
        return;
    }
    if (!createInCorner_) return;
    createArmed_ = false;
    SpawnCurrentArchetype();
}

void MapEditor::SpawnCurrentArchetype()
{
    Space* edited = EditedSpace();
    const auto& archetypes = ArchetypeStore::Get()->Archetypes();
    if (!edited || archetypes.empty()) return;
    try {
        Entity* created = ArchetypeStore::Spawn(archetypes[archetypeIndex_]->name, "newObject", *edited, true);
        authored_->Add(*created, ArchetypeStore::Get()->Authored(created->archetypeName));
        if (Transform* transform = created->Get<Transform>()) transform->translation = pointer_;
        Record(*created, kTransform, {"translationX", "translationY"});
        Push(CreationStep(*created));
        Select(created);
        // It follows the pointer until the button is released: that move is a step of its own.
        if (Component* transform = created->GetComponent(kTransform))
            drag_ = Drag{KeyOf(*created), kTransform, ValuesOf(*transform, {"translationX", "translationY"})};
    } catch (const GameError& error) {
        Trace(std::string("Map editor: could not create the archetype: ") + error.what() + "\n");
        return;
    }
    Commit();
    ChooseTool(toolBoxes_[0]);
}

void MapEditor::PanCamera()
{
    if (!Held(kKeyLeftControl) && !overPanel_) panArmed_ = true;
    if (textEditing_ || focusedField_) panArmed_ = false;
    if (!panArmed_ || overPanel_) return;
    glm::vec2 move(0.0f);
    if (Held(kKeyW)) move.y += kPanStep;
    if (Held(kKeyA)) move.x -= kPanStep;
    if (Held(kKeyS) && !Held(kKeyLeftControl)) move.y -= kPanStep;
    if (Held(kKeyD)) move.x += kPanStep;
    if (move == glm::vec2(0.0f)) return;
    glm::vec3 camera = CameraPosition();
    Camera::Get()->SetPosition(camera.x + move.x, camera.y + move.y, camera.z);
    // The overlay moves with the view, so the panel stays where it is on the screen.
    for (const auto& entity : owner->space->Entities())
        if (Transform* t = entity->Get<Transform>()) t->translation += move / 3.0f;
    cursorWritten_ += move / 3.0f;
    pan_ += move / 3.0f;
    pointer_ += move / 3.0f;
}

// The cursor component places the cursor where the system pointer is, as if the view were
// not panned; the editor adds the pan once after each such move.
void MapEditor::OnDraw(DrawEvent&)
{
    if (!cursor_) return;
    // The cursor hides itself in a paused space; the editor's overlay is paused but its
    // cursor is the one the designer works with.
    if (Sprite* sprite = cursor_->Get<Sprite>()) sprite->visible = true;
    Transform* transform = cursor_->Get<Transform>();
    if (!transform || transform->translation == cursorWritten_) return;
    transform->translation += CameraPositionPan();
    cursorWritten_ = transform->translation;
}

glm::vec2 MapEditor::CameraPositionPan() const
{
    glm::vec3 camera = CameraPosition();
    return glm::vec2(camera.x, camera.y) / 3.0f;
}

void MapEditor::Duplicate()
{
    Space* edited = EditedSpace();
    Entity* selected = Selected();
    if (!edited || !selected) return;
    std::unique_ptr<Entity> clone = selected->Clone();
    Entity* copy = edited->CreateEntity(*clone, true);
    authored_->Add(*copy, AuthoredObject(*selected));
    Push(CreationStep(*copy));
    selected_ = copy->Ref();
    ShowSelection();
}

void MapEditor::NextArchetype()
{
    size_t count = ArchetypeStore::Get()->Archetypes().size();
    if (count == 0) return;
    archetypeIndex_ = (archetypeIndex_ + 1) % count;
    ShowArchetype();
}

void MapEditor::ShowArchetype()
{
    const auto& archetypes = ArchetypeStore::Get()->Archetypes();
    if (archetypeIndex_ >= archetypes.size()) archetypeIndex_ = 0;
    std::string name = archetypes.empty() ? "N/A" : archetypes[archetypeIndex_]->name;
    SetFieldText(currentArch_, Label(currentArch_) + name);
}

// ---------------------------------------------------------------- tools

glm::vec2 MapEditor::ToolStep() const
{
    switch (tool_) {
    case Tool::kTranslate: return translateStep;
    case Tool::kScale: return scaleStep;
    case Tool::kRotate: return glm::vec2(rotationStep);
    case Tool::kZLayer: break;
    }
    return glm::vec2(static_cast<float>(layerStep));
}

glm::vec2 MapEditor::ToolValue(Entity& entity) const
{
    Transform* transform = entity.Get<Transform>();
    switch (tool_) {
    case Tool::kTranslate: return transform->translation;
    case Tool::kScale: return transform->scale;
    case Tool::kRotate: return glm::vec2(transform->rotation, 0.0f);
    case Tool::kZLayer: break;
    }
    return glm::vec2(entity.Get<Sprite>()->zLayer, 0.0f);
}

void MapEditor::SetToolValue(Entity& entity, glm::vec2 value)
{
    Transform* transform = entity.Get<Transform>();
    switch (tool_) {
    case Tool::kTranslate: transform->translation = value; return Record(entity, kTransform, {"translationX", "translationY"});
    case Tool::kScale: transform->scale = value; return Record(entity, kTransform, {"scaleX", "scaleY"});
    case Tool::kRotate: transform->rotation = value.x; return Record(entity, kTransform, {"rotation"});
    case Tool::kZLayer: break;
    }
    entity.Get<Sprite>()->zLayer = std::trunc(value.x);
    Record(entity, kSprite, {"zLayer"});
    if (Space* edited = EditedSpace()) edited->ReorderEntity(&entity);
}

void MapEditor::ApplyTool()
{
    Entity& entity = *Selected();
    if (!entity.Get<Transform>() || (tool_ == Tool::kZLayer && !entity.Get<Sprite>())) return;
    glm::vec2 value = ToolValue(entity);
    glm::vec2 step = ToolStep();
    int left = In().Key(Input::kMouseLeft);
    glm::vec2 next = value;
    if (left == kKeyPressed) {
        dragStartValue_ = value;
        dragStartPointer_ = pointer_;
        drag_ = Drag{KeyOf(entity), ToolComponent(), ValuesOf(*entity.GetComponent(ToolComponent()), ToolProperties())};
    } else if (left == kKeyHeld && pointer_ == dragStartPointer_) {
        // A click that has not moved yet selects without snapping the entity to the grid.
    } else if (left == kKeyHeld && tool_ == Tool::kTranslate) {
        next = glm::floor((pointer_ + grabOffset_) / step + 0.5f) * step;
    } else if (left == kKeyHeld) {
        next = dragStartValue_ - glm::floor((dragStartPointer_ - pointer_) / step + 0.5f) * step;
        if (tool_ != Tool::kScale) next.y = value.y;
    } else {
        next = Arrowed(value, step);
    }
    // Only a real change is written: rewriting a layer would reshuffle equal layers. A value
    // beyond the range of float (a huge step) is never taken: no file could hold it.
    if (next == value || !std::isfinite(next.x) || !std::isfinite(next.y)) return;
    Values before = left == kKeyHeld ? nullptr : ValuesOf(*entity.GetComponent(ToolComponent()), ToolProperties());
    SetToolValue(entity, next);
    if (before) PushValues(entity, ToolComponent(), before, "arrow key");
}

std::vector<std::string> MapEditor::ToolProperties() const
{
    switch (tool_) {
    case Tool::kTranslate: return {"translationX", "translationY"};
    case Tool::kScale: return {"scaleX", "scaleY"};
    case Tool::kRotate: return {"rotation"};
    case Tool::kZLayer: break;
    }
    return {"zLayer"};
}

int MapEditor::ToolComponent() const
{
    return tool_ == Tool::kZLayer ? kSprite : kTransform;
}

// A drag is one step, recorded once the button is up.
void MapEditor::FinishDrag()
{
    if (!drag_ || Held(Input::kMouseLeft) || Pressed(Input::kMouseLeft)) return;
    Drag drag = *drag_;
    drag_.reset();
    if (Entity* entity = Keyed(drag.key))
        if (entity->GetComponent(drag.type)) PushValues(*entity, drag.type, drag.before, "drag");
}

glm::vec2 MapEditor::Arrowed(glm::vec2 value, glm::vec2 step) const
{
    if (Pressed(kArrowUp)) value.y += step.y;
    if (Pressed(kArrowDown)) value.y -= step.y;
    if (Pressed(kArrowLeft)) value.x -= step.x;
    if (Pressed(kArrowRight)) value.x += step.x;
    return value;
}

void MapEditor::ChooseTool(Entity* box)
{
    auto chosen = std::find(toolBoxes_.begin(), toolBoxes_.end(), box);
    if (chosen == toolBoxes_.end()) return;
    PaintToolBackground(toolBoxes_[static_cast<int>(tool_)], glm::vec4(1.0f, 1.0f, 1.0f, 0.3f));
    tool_ = static_cast<Tool>(chosen - toolBoxes_.begin());
    PaintToolBackground(box, glm::vec4(0.0f, 1.0f, 0.0f, 0.5f));
}

void MapEditor::PaintToolBackground(Entity* box, glm::vec4 colour)
{
    Entity* background = owner->space->FindEntity(box->name + "BackGround");
    if (Sprite* sprite = background ? background->Get<Sprite>() : nullptr) sprite->colour = colour;
}

// ---------------------------------------------------------------- saving

void MapEditor::SaveSpace()
{
    Space* edited = EditedSpace();
    if (!edited) return;
    try {
        if (!JsonFile::IsSafeFileName(saveName_)) throw GameError("Could not save space \"" + saveName_ + "\": not a file name");
        JsonFile::WriteAtomically(SavePath(), authored_->Text());
        authored_->Saved();
        savedAt_ = done_;
        Trace("saved " + SavePath() + "\n");
    } catch (const GameError& error) {
        Trace(std::string("Map editor: save failed, the file is unchanged: ") + error.what() + "\n");
    }
}

// The archetype is written under its own name (the file the store reads it back from) as a
// template copy of the selected entity.
void MapEditor::SaveArchetype()
{
    Entity* selected = Selected();
    if (!selected) return;
    if (selected->archetypeName.empty()) {
        Trace("Map editor: save failed: \"" + selected->name + "\" has no archetype name\n");
        return;
    }
    if (StoreArchetype(*selected, selected->archetypeName))
        Trace("saved " + ArchetypeStore::Get()->Directory() + "/" + selected->archetypeName + ".txt\n");
}

// The authored values of an entity: its object in the space file, its archetype's file for
// one the game spawned, its live values only when neither exists.
const rapidjson::Value* MapEditor::AuthoredObject(const Entity& entity) const
{
    if (const rapidjson::Value* object = authored_ ? authored_->Find(entity) : nullptr) return object;
    return ArchetypeStore::Get()->Authored(entity.archetypeName);
}

void MapEditor::Record(Entity& entity, int type, std::initializer_list<const char*> names)
{
    Component* component = entity.GetComponent(type);
    if (!component || !authored_) return;
    std::vector<Property> properties;
    component->Serialize(properties);
    for (const Property& property : properties)
        if (std::find(names.begin(), names.end(), property.name) != names.end())
            authored_->SetProperty(entity, ComponentRegistry::Get()->NameOf(type), property);
}

bool MapEditor::StoreArchetype(const Entity& source, const std::string& name)
{
    rapidjson::Document archetype;
    if (const rapidjson::Value* object = AuthoredObject(source)) archetype.CopyFrom(*object, archetype.GetAllocator());
    else static_cast<rapidjson::Value&>(archetype) = source.Object(archetype.GetAllocator());
    for (const char* member : {"name", "archetypeName"})
        if (archetype.IsObject() && archetype.HasMember(member)) archetype[member].SetString(name.c_str(), archetype.GetAllocator());
    try {
        ArchetypeStore::Get()->Save(archetype);
        return true;
    } catch (const GameError& error) {
        Trace(std::string("Map editor: save failed, the file is unchanged: ") + error.what() + "\n");
        return false;
    }
}

// ---------------------------------------------------------------- commit of the fields

void MapEditor::Commit()
{
    CommitSteps();
    CommitSpace();
    if (Selected()) CommitSelected();
}

void MapEditor::CommitSteps()
{
    double value = 0.0;
    long long whole = 0;
    // A step beyond the range of float would make every move infinite.
    auto step = [&](Entity* box) {
        return ReadDouble(AfterLabel(box), value) && value > 0.0 && value <= std::numeric_limits<float>::max();
    };
    if (step(toolBoxes_[0])) translateStep = glm::vec2(static_cast<float>(value));
    if (step(toolBoxes_[1])) scaleStep = glm::vec2(static_cast<float>(value));
    if (step(toolBoxes_[2])) rotationStep = static_cast<float>(value);
    if (ReadInt(AfterLabel(toolBoxes_[3]), whole) && whole > 0 && whole <= INT32_MAX) layerStep = static_cast<int32_t>(whole);
    SetFieldText(toolBoxes_[0], Label(toolBoxes_[0]) + Number(translateStep.x));
    SetFieldText(toolBoxes_[1], Label(toolBoxes_[1]) + Number(scaleStep.x));
    SetFieldText(toolBoxes_[2], Label(toolBoxes_[2]) + Number(rotationStep));
    SetFieldText(toolBoxes_[3], Label(toolBoxes_[3]) + std::to_string(layerStep));
}

void MapEditor::CommitSpace()
{
    Space* edited = EditedSpace();
    if (!edited) return;
    std::string name = AfterLabel(spaceName_);
    if (!name.empty() && name != saveName_) {
        if (std::string refusal = SpaceNameRefusal(name); !refusal.empty()) {
            Refuse(refusal);
        } else {
            std::string before = saveName_;
            SetSaveName(name);
            Push({"rename the space", {[this, before] { SetSaveName(before); }}, {[this, name] { SetSaveName(name); }}});
        }
    }
    SetFieldText(spaceName_, Label(spaceName_) + saveName_);
    double layer = 0.0;
    if (ReadDouble(AfterLabel(spaceLayer_), layer) && static_cast<float>(layer) != edited->zLayer) {
        if (std::fabs(layer) > std::numeric_limits<float>::max()) {
            Refuse("space layer " + AfterLabel(spaceLayer_) + " refused: it must be within the range of float, about 3.4e38");
        } else {
            float before = edited->zLayer, after = static_cast<float>(layer);
            SetSpaceLayer(after);
            Push({"space layer", {[this, before] { SetSpaceLayer(before); }}, {[this, after] { SetSpaceLayer(after); }}});
        }
    }
    SetFieldText(spaceLayer_, Label(spaceLayer_) + Number(edited->zLayer));
}

// The space is saved under the new name; the running game keeps finding it by its old one.
void MapEditor::SetSaveName(const std::string& name)
{
    saveName_ = name;
}

void MapEditor::SetSpaceLayer(float layer)
{
    Space* edited = EditedSpace();
    if (!edited) return;
    edited->zLayer = layer;
    authored_->SetLayer(layer);
}

std::string MapEditor::SpaceNameRefusal(const std::string& name) const
{
    std::string refused = "space name \"" + name + "\" refused: ";
    if (!JsonFile::IsSafeFileName(name)) return refused + "not a file name";
    for (const char* engine : kEngineSpaces)
        if (name == engine) return refused + "it is one of the engine's own spaces";
    std::error_code error;
    if (name != openedAs_ && std::filesystem::exists(RunOptions::Get().ContentPath("Spaces/" + name + ".txt"), error))
        return refused + "a space of that name exists already";
    return "";
}

std::string MapEditor::SavePath() const
{
    return RunOptions::Get().ContentPath("Spaces/" + saveName_ + ".txt");
}

void MapEditor::CommitSelected()
{
    Entity& selected = *Selected();
    int key = KeyOf(selected);
    std::string name = AfterLabel(selectedName_);
    if (!name.empty() && name != selected.name) {
        if (std::string need = NeededBy(selected, false); !need.empty()) {
            Refuse("\"" + selected.name + "\" is needed by " + need + ": not renamed");
        } else {
            std::string before = selected.name;
            SetEntityString(key, false, name);
            Push({"rename", {[this, key, before] { SetEntityString(key, false, before); }},
                  {[this, key, name] { SetEntityString(key, false, name); }}});
        }
    }
    SetFieldText(selectedName_, Label(selectedName_) + selected.name);
    std::string archetype = AfterLabel(selectedArch_);
    if (!archetype.empty() && archetype != selected.archetypeName) {
        if (!ArchetypeStore::Get()->Find(archetype)) StoreArchetype(selected, archetype);
        std::string before = selected.archetypeName;
        SetEntityString(key, true, archetype);
        Push({"archetype name", {[this, key, before] { SetEntityString(key, true, before); }},
              {[this, key, archetype] { SetEntityString(key, true, archetype); }}});
    }
    SetFieldText(selectedArch_, Label(selectedArch_) + selected.archetypeName);
}

void MapEditor::SetEntityString(int key, bool archetype, const std::string& value)
{
    Entity* entity = Keyed(key);
    if (!entity) return;
    (archetype ? entity->archetypeName : entity->name) = value;
    authored_->SetString(*entity, archetype ? "archetypeName" : "name", value);
}

// ---------------------------------------------------------------- selection and rows

void MapEditor::Select(Entity* entity)
{
    selected_ = entity ? entity->Ref() : EntityRef();
    rowFirst_ = 0;
    rowNoteIndex_ = SIZE_MAX;
    if (Transform* transform = entity ? entity->Get<Transform>() : nullptr)
        grabOffset_ = transform->translation - pointer_;
    EmptyRows();
    ShowSelection();
}

void MapEditor::ShowSelection()
{
    Entity* selected = Selected();
    SetFieldText(selectedName_, Label(selectedName_) + (selected ? selected->name : "N/A"));
    SetFieldText(selectedArch_, Label(selectedArch_) + (selected ? selected->archetypeName : "N/A"));
}

Component* MapEditor::CurrentComponent() const
{
    Entity* selected = Selected();
    return selected ? selected->GetComponent(currentType_) : nullptr;
}

void MapEditor::DeleteSelected()
{
    Entity& selected = *Selected();
    if (std::string need = NeededBy(selected, true); !need.empty()) {
        Refuse("\"" + selected.name + "\" is needed by " + need + ": not deleted");
        return;
    }
    int key = KeyOf(selected);
    Push(DeletionStep(selected));
    DeleteKeyed(key);
}

void MapEditor::DeleteKeyed(int key)
{
    Entity* entity = Keyed(key);
    Space* edited = EditedSpace();
    if (!entity || !edited) return;
    edited->events->Send(DestroyEvent(entity->Ref(), 0.0f));
    authored_->Remove(*entity);
    keys_[static_cast<size_t>(key)] = EntityRef();
    if (entity != Selected()) return;
    selected_ = EntityRef();
    ShowSelection();
    EmptyRows();
}

// Undoing brings the entity back as its file (or its copy) had it, edits included, in its place
// in the file; place is SIZE_MAX for one the game spawned, which is never saved.
void MapEditor::Restore(int key, const Values& object, size_t place)
{
    Space* edited = EditedSpace();
    if (!edited) return;
    try {
        Entity scratch(*object, nullptr, "undo");
        Entity* restored = edited->CreateEntity(scratch, true);
        keys_[static_cast<size_t>(key)] = restored->Ref();
        if (place != SIZE_MAX) authored_->Insert(place, *restored, *object);
    } catch (const GameError& error) {
        Trace(std::string("Map editor: could not bring the entity back: ") + error.what() + "\n");
    }
}

MapEditor::Step MapEditor::DeletionStep(Entity& entity)
{
    int key = KeyOf(entity);
    const rapidjson::Value* authored = authored_->Find(entity);
    size_t place = authored ? authored_->PlaceOf(entity) : SIZE_MAX;
    Values object = std::make_shared<rapidjson::Document>();
    if (authored) object->CopyFrom(*authored, object->GetAllocator());
    else static_cast<rapidjson::Value&>(*object) = entity.Object(object->GetAllocator());
    return {"delete " + entity.name, {[this, key, object, place] { Restore(key, object, place); }}, {[this, key] { DeleteKeyed(key); }}};
}

MapEditor::Step MapEditor::CreationStep(Entity& created)
{
    Step step = DeletionStep(created);
    step.what = "create " + created.name;
    std::swap(step.undo, step.redo);
    return step;
}

void MapEditor::EmptyRows()
{
    for (Entity* row : rows_)
        if (row != textEditing_.Get()) SetFieldText(row, "");
}

// Row r shows property rowFirst_ + r of the current component, or a line of a refusal; the
// row being typed into is left alone until its text is written back.
void MapEditor::RefreshRows()
{
    std::vector<Property> properties;
    if (Component* component = CurrentComponent()) component->Serialize(properties);
    Scroll(rowFirst_, 0, properties.size(), kRowCount);
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (rows_[r] == textEditing_.Get()) continue;
        std::string text = r < note_.size() ? note_[r] : RowText(rowFirst_ + r, properties);
        if (FieldText(rows_[r]) != text) SetFieldText(rows_[r], text);
    }
    ShowRowsHint(properties.size());
    std::string label = "Current Component: " + ComponentRegistry::Get()->NameOf(currentType_);
    if (FieldText(currentComponentLabel_) != label) SetFieldText(currentComponentLabel_, label);
}

std::string MapEditor::RowText(size_t index, const std::vector<Property>& properties) const
{
    if (index >= properties.size()) return "";
    return index == rowNoteIndex_ ? rowNote_ : ShowProperty(properties[index]);
}

void MapEditor::ShowRowsHint(size_t count)
{
    if (!rowsHint_) return;
    std::string text = "Click a row to type";
    if (count > static_cast<size_t>(kRowCount))
        text = "Rows " + std::to_string(rowFirst_ + 1) + "-" + std::to_string(std::min(rowFirst_ + kRowCount, count)) +
               " of " + std::to_string(count);
    if (FieldText(rowsHint_) != text) SetFieldText(rowsHint_, text);
}

// Shown across the rows, cut to their width, until the next click.
void MapEditor::Refuse(const std::string& text)
{
    Trace("Map editor: " + text + "\n");
    const TextBox* box = rows_[0]->Get<TextBox>();
    const SpriteText* sprite = rows_[0]->Get<SpriteText>();
    float charWidth = sprite ? sprite->offset * sprite->size : 0.0f;
    size_t width = box && charWidth > 0.0f ? static_cast<size_t>(std::max(box->backgroundScaleX / charWidth, 8.0f)) : 36;
    note_.clear();
    for (size_t at = 0; at < text.size() && note_.size() < rows_.size(); at += width) note_.push_back(text.substr(at, width));
}

// A text box keeps taking typed text after it reported losing the focus; the fields that
// are not being edited are shown from the values again, so stray keys (Ctrl+D, WASD) never
// reach the next commit.
void MapEditor::RefreshFields()
{
    ShowField(toolBoxes_[0], Number(translateStep.x));
    ShowField(toolBoxes_[1], Number(scaleStep.x));
    ShowField(toolBoxes_[2], Number(rotationStep));
    ShowField(toolBoxes_[3], std::to_string(layerStep));
    if (Space* edited = EditedSpace()) {
        ShowField(spaceName_, saveName_);
        ShowField(spaceLayer_, Number(edited->zLayer));
    }
    Entity* selected = Selected();
    ShowField(selectedName_, selected ? selected->name : "N/A");
    ShowField(selectedArch_, selected ? selected->archetypeName : "N/A");
    std::string save = saveLabel_ + (Unsaved() ? " *" : "");  // the mark of unsaved changes
    if (FieldText(saveSpace_) != save) SetFieldText(saveSpace_, save);
}

void MapEditor::ShowField(Entity* field, const std::string& value)
{
    const TextBox* box = field->Get<TextBox>();
    if (box && box->Editing()) return;
    std::string text = Label(field) + value;
    if (FieldText(field) != text) SetFieldText(field, text);
}

std::string MapEditor::ShowProperty(const Property& property)
{
    std::string value;
    switch (property.kind) {
    case kInt: value = std::to_string(*static_cast<int32_t*>(property.address)); break;
    case kString: value = *static_cast<std::string*>(property.address); break;
    case kBool: value = *static_cast<bool*>(property.address) ? "true" : "false"; break;
    case kUnsigned: value = std::to_string(*static_cast<uint32_t*>(property.address)); break;
    case kDouble:
    case kFloat: {
        double number = property.kind == kDouble ? *static_cast<double*>(property.address)
                                                 : *static_cast<float*>(property.address);
        char text[64];
        std::snprintf(text, sizeof text, "%f", number);
        value = text;
        break;
    }
    }
    return property.name + ": " + value;
}

bool MapEditor::WriteProperty(const Property& property, const std::string& text)
{
    long long whole = 0;
    double number = 0.0;
    switch (property.kind) {
    case kInt:
        if (!ReadInt(text, whole) || whole < INT32_MIN || whole > INT32_MAX) return false;
        *static_cast<int32_t*>(property.address) = static_cast<int32_t>(whole);
        return true;
    case kUnsigned:
        if (!ReadInt(text, whole) || whole < 0 || whole > UINT32_MAX) return false;
        *static_cast<uint32_t*>(property.address) = static_cast<uint32_t>(whole);
        return true;
    case kDouble:
    case kFloat:
        if (!ReadDouble(text, number)) return false;
        if (property.kind == kDouble) *static_cast<double*>(property.address) = number;
        else *static_cast<float*>(property.address) = static_cast<float>(number);
        return true;
    case kString: *static_cast<std::string*>(property.address) = text; return true;
    case kBool:
        if (text != "true" && text != "false") return false;
        *static_cast<bool*>(property.address) = text == "true";
        return true;
    }
    return false;
}

namespace {

// The typed text as the file would hold the member: false when it does not read as the kind.
bool TypedValue(const Property& p, const std::string& text, rapidjson::Value& value, rapidjson::Document::AllocatorType& allocator)
{
    long long whole = 0;
    double number = 0.0;
    switch (p.kind) {
    case kInt:
    case kUnsigned:
        if (!ReadInt(text, whole)) return false;
        value.SetInt64(whole);
        return true;
    case kDouble:
    case kFloat:
        if (!ReadDouble(text, number)) return false;
        value.SetDouble(number);
        return true;
    case kBool:
        if (text != "true" && text != "false") return false;
        value.SetBool(text == "true");
        return true;
    case kString: value.SetString(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator); return true;
    }
    return false;
}

const char* KindName(int kind)
{
    switch (kind) {
    case kInt: return "an integer";
    case kUnsigned: return "a non-negative integer";
    case kDouble:
    case kFloat: return "a finite number";
    case kBool: return "true or false";
    }
    return "text";
}

} // namespace

std::string MapEditor::WriteChecked(Component& component, size_t index, const std::string& text, const std::string& where)
{
    std::vector<Property> live;
    component.Serialize(live);
    if (index >= live.size()) return "no such property";
    rapidjson::Document object(rapidjson::kObjectType);
    rapidjson::Value value;
    if (!TypedValue(live[index], text, value, object.GetAllocator())) return std::string("it must be ") + KindName(live[index].kind);
    object.AddMember(rapidjson::StringRef(live[index].name.c_str()), value, object.GetAllocator());
    // The copy takes the value first: the live component only gets one that loads.
    Entity scratch(component.owner ? component.owner->name : "");
    Component& trial = *scratch.AddComponent(component);
    std::vector<Property> properties;
    trial.Serialize(properties);
    try {
        ReadValue(object, properties[index], where);
        trial.Check(where);
    } catch (const GameError& error) {
        std::string reason = error.what();
        return reason.rfind(where + ": ", 0) == 0 ? reason.substr(where.size() + 2) : reason;
    }
    CopyValue(properties[index], live[index]);
    return "";
}

void MapEditor::EndRowEdit(Entity* row)
{
    textEditing_ = EntityRef();
    Component* component = CurrentComponent();
    if (!component) return;
    std::vector<Property> properties;
    component->Serialize(properties);
    if (editingIndex_ >= properties.size()) return;
    const std::string& name = properties[editingIndex_].name;
    std::string text = FieldText(row);
    size_t space = text.find(' ');
    std::string value = space == std::string::npos ? "" : text.substr(space + 1);
    std::string typeName = ComponentRegistry::Get()->NameOf(component->type);
    Values before = ValuesOf(*component, {name});
    std::string reason =
        WriteChecked(*component, editingIndex_, value, "entity \"" + component->owner->name + "\", component \"" + typeName + "\"");
    if (!reason.empty()) {
        rowNote_ = name + ": refused, " + reason;
        rowNoteIndex_ = editingIndex_;
        Trace("Map editor: " + typeName + " " + name + " \"" + value + "\" refused: " + reason + "\n");
        return;
    }
    authored_->SetProperty(*component->owner, typeName, properties[editingIndex_]);
    AfterPropertyWrite(*component);
    PushValues(*component->owner, component->type, before, "set " + name);
}

// A sprite looks its image up again and takes its place in the draw order again.
void MapEditor::AfterPropertyWrite(Component& component)
{
    Sprite* sprite = component.type == kSprite ? static_cast<Sprite*>(&component) : nullptr;
    if (!sprite) return;
    sprite->SetImage(sprite->imageName);
    if (Space* edited = EditedSpace()) edited->ReorderEntity(component.owner);
}

// ---------------------------------------------------------------- components

void MapEditor::ChooseType(int type)
{
    currentType_ = type;
    rowFirst_ = 0;
    rowNoteIndex_ = SIZE_MAX;
    SetFieldText(currentComponentLabel_, "Current Component: " + ComponentRegistry::Get()->NameOf(type));
    EmptyRows();
}

std::string MapEditor::LabelledType() const
{
    std::string text = FieldText(currentComponentLabel_);
    size_t colon = text.find(": ");
    return colon == std::string::npos ? "" : text.substr(colon + 2);
}

// A component the entity already has stays as it is: its siblings may hold on to it.
void MapEditor::AddComponentToSelected()
{
    Entity* selected = Selected();
    std::string typeName = LabelledType();
    const Component* prototype = ComponentRegistry::Get()->Find(typeName);
    if (!selected || !prototype) return;
    if (selected->GetComponent(prototype->type)) {
        Trace("Map editor: \"" + selected->name + "\" already has " + typeName + "\n");
        return;
    }
    if (std::string missing = MissingFor(*prototype); !missing.empty()) {
        Refuse(typeName + " not added: it looks up an entity named " + missing + ", which this space lacks");
        return;
    }
    int key = KeyOf(*selected);
    Values before = AuthoredCopy(*selected);
    AddComponentKeyed(key, typeName, nullptr);
    if (!selected->GetComponent(prototype->type)) return;
    Values after = AuthoredCopy(*selected);
    Push({"add " + typeName, {[this, key, typeName, before] { RemoveComponentKeyed(key, typeName); RestoreAuthored(key, before); }},
          {[this, key, typeName, after] { AddComponentKeyed(key, typeName, nullptr); RestoreAuthored(key, after); }}});
    currentType_ = prototype->type;
    EmptyRows();
}

void MapEditor::RemoveComponentFromSelected()
{
    Entity* selected = Selected();
    std::string typeName = LabelledType();
    const Component* prototype = ComponentRegistry::Get()->Find(typeName);
    Component* component = selected && prototype ? selected->GetComponent(prototype->type) : nullptr;
    if (!component) return;
    int key = KeyOf(*selected);
    Values live = ValuesOf(*component, {});
    Values before = AuthoredCopy(*selected);
    RemoveComponentKeyed(key, typeName);
    Values after = AuthoredCopy(*selected);
    Push({"remove " + typeName, {[this, key, typeName, live, before] { AddComponentKeyed(key, typeName, live); RestoreAuthored(key, before); }},
          {[this, key, typeName, after] { RemoveComponentKeyed(key, typeName); RestoreAuthored(key, after); }}});
    EmptyRows();
}

// live: the values the component gets (the prototype's when null).
void MapEditor::AddComponentKeyed(int key, const std::string& typeName, const Values& live)
{
    Entity* entity = Keyed(key);
    const Component* prototype = ComponentRegistry::Get()->Find(typeName);
    if (!entity || !prototype || entity->GetComponent(prototype->type)) return;
    Component* added = entity->AddComponent(*prototype);
    try {
        if (live) {
            std::vector<Property> properties;
            added->Serialize(properties);
            for (const Property& p : properties) ReadValue(*live, p, typeName);
        }
        added->Initialize();
    } catch (const GameError& error) {
        Trace("Map editor: could not add " + typeName + ": " + error.what() + "\n");
        RebuildWithout(*entity, prototype->type);
    }
    authored_->SetComponent(*entity, typeName, entity->GetComponent(prototype->type));
}

void MapEditor::RemoveComponentKeyed(int key, const std::string& typeName)
{
    Entity* entity = Keyed(key);
    const Component* prototype = ComponentRegistry::Get()->Find(typeName);
    if (!entity || !prototype || !entity->GetComponent(prototype->type)) return;
    RebuildWithout(*entity, prototype->type);
    authored_->SetComponent(*entity, typeName, nullptr);
}

MapEditor::Values MapEditor::AuthoredCopy(const Entity& entity) const
{
    const rapidjson::Value* object = authored_->Find(entity);
    if (!object) return nullptr;
    Values copy = std::make_shared<rapidjson::Document>();
    copy->CopyFrom(*object, copy->GetAllocator());
    return copy;
}

void MapEditor::RestoreAuthored(int key, const Values& object)
{
    if (Entity* entity = Keyed(key); entity && object) authored_->Replace(*entity, *object);
}

// Entities offer no way to empty one slot, so the entity is rebuilt: every component is
// stopped, the others are copied (values included) through a template and started again,
// which also drops any pointer a sibling kept to the removed one.
void MapEditor::RebuildWithout(Entity& entity, int type)
{
    for (int slot = 0; slot < kComponentTypeCount; ++slot)
        if (Component* component = entity.GetComponent(slot)) component->Stop();
    Entity scratch(entity.name);
    for (int slot = 0; slot < kComponentTypeCount; ++slot) {
        Component* component = entity.GetComponent(slot);
        if (component && slot != type) scratch.AddComponent(*component);
    }
    entity.CopyComponents(scratch);
    try {
        for (int slot = 0; slot < kComponentTypeCount; ++slot)
            if (Component* component = entity.GetComponent(slot)) component->Initialize();
    } catch (const GameError& error) {
        Trace(std::string("Map editor: \"") + entity.name + "\" cannot work without it: " + error.what() + "\n");
    }
}

// ---------------------------------------------------------------- list of entities

// One "ObjectList<n>" entry for each entity of the edited space on screen: entry n shows
// entity objectFirst_ + n, in the space's order.
void MapEditor::SyncObjectList()
{
    Space* edited = EditedSpace();
    size_t count = edited ? edited->Entities().size() : 0;
    Scroll(objectFirst_, 0, count, kObjectSlots);
    size_t wanted = std::min(count, kObjectSlots);
    while (objectEntries_.size() > wanted) {
        if (Entity* entry = objectEntries_.back().Get()) {
            Unlisten(*entry->events);
            owner->space->events->Send(DestroyEvent(entry->Ref(), 0.0f));
        }
        objectEntries_.pop_back();
    }
    while (objectEntries_.size() < wanted) AddObjectEntry();
    for (size_t i = 0; i < objectEntries_.size(); ++i) {
        const std::string& name = edited->Entities()[objectFirst_ + i]->name;
        if (Entity* entry = objectEntries_[i].Get())
            if (FieldText(entry) != name) SetFieldText(entry, name);
    }
}

void MapEditor::AddObjectEntry()
{
    size_t index = objectEntries_.size();
    Entity* entry = ArchetypeStore::Spawn("DropDown", kObjectPrefix + std::to_string(index), *owner->space, true);
    int column = static_cast<int>(index) / kListRows, row = static_cast<int>(index) % kListRows;
    if (Transform* transform = entry->Get<Transform>())
        transform->translation = glm::vec2(kListX - kListColumn * static_cast<float>(column),
                                           kListStep * static_cast<float>(10 - (row + 1))) + pan_;
    ListenTo(*entry, &MapEditor::OnTrigger);
    objectEntries_.push_back(entry->Ref());
}

void MapEditor::Scroll(size_t& first, long long delta, size_t count, size_t slots)
{
    long long last = count > slots ? static_cast<long long>(count - slots) : 0;
    first = static_cast<size_t>(std::clamp(static_cast<long long>(first) + delta, 0LL, last));
}

// The wheel, Up and Down, Page Up and Page Down move the list the pointer is over.
void MapEditor::ScrollLists()
{
    long long delta = -std::lround(In().Wheel()) * kWheelStep + (Pressed(kArrowDown) ? 1 : 0) - (Pressed(kArrowUp) ? 1 : 0);
    int pages = (Pressed(kPageDown) ? 1 : 0) - (Pressed(kPageUp) ? 1 : 0);
    if (delta == 0 && pages == 0) return;
    Entity* hit = MouseClickEventSender::EntityAt(*owner->space, pointer_);
    if (!hit) return;
    auto holds = [hit](const std::vector<EntityRef>& list) {
        return std::any_of(list.begin(), list.end(), [hit](const EntityRef& ref) { return ref.Get() == hit; });
    };
    Space* edited = EditedSpace();
    if (holds(objectEntries_) && edited) {
        Scroll(objectFirst_, delta + pages * static_cast<long long>(kObjectSlots), edited->Entities().size(), kObjectSlots);
    } else if (holds(typeEntries_) && typeListShown_) {
        Scroll(typeFirst_, delta + pages * static_cast<long long>(kTypeSlots), typeOrder_.size(), kTypeSlots);
        ShowTypeList();
    } else if (std::any_of(rows_.begin(), rows_.end(), [hit](Entity* row) { return row->Get<TextBox>() && row->Get<TextBox>()->Background() == hit; })) {
        std::vector<Property> properties;
        if (Component* component = CurrentComponent()) component->Serialize(properties);
        Scroll(rowFirst_, delta + pages * kRowCount, properties.size(), kRowCount);
    }
}

// ---------------------------------------------------------------- triggers and commands

void MapEditor::OnTrigger(TriggerEvent& event)
{
    if (closing_) return;
    if (event.name == "button") OnButton(event.sender.Get());
    else if (event.name == "TextBox") OnTextBox(event.sender.Get(), event.state);
}

void MapEditor::OnButton(Entity* sender)
{
    if (!sender) return;
    if (sender == saveArch_) SaveArchetype();
    else if (sender == saveSpace_) SaveSpace();
    else if (sender == addComp_) AddComponentToSelected();
    else if (sender == removeComp_) RemoveComponentFromSelected();
    else if (sender == currentComponentLabel_) SetTypeListShown(!typeListShown_);
    else OnListEntry(sender);
}

void MapEditor::OnListEntry(Entity* entry)
{
    for (size_t i = 0; i < objectEntries_.size(); ++i) {
        if (objectEntries_[i].Get() != entry) continue;
        Space* edited = EditedSpace();
        if (edited && objectFirst_ + i < edited->Entities().size()) Select(edited->Entities()[objectFirst_ + i].get());
        return;
    }
    for (size_t i = 0; i < typeEntries_.size(); ++i) {
        if (typeEntries_[i].Get() != entry) continue;
        ChooseType(typeOrder_[typeFirst_ + i]);
        SetTypeListShown(false);
        return;
    }
}

void MapEditor::OnTextBox(Entity* sender, int state)
{
    if (!sender) return;
    focusedField_ = state == 0;
    if (state == 0 && std::find(toolBoxes_.begin(), toolBoxes_.end(), sender) != toolBoxes_.end()) ChooseTool(sender);
    if (std::find(rows_.begin(), rows_.end(), sender) == rows_.end()) return;
    if (state == 0) {
        // The designer types a fresh value after the property's name.
        textEditing_ = sender->Ref();
        editingIndex_ = rowFirst_ + static_cast<size_t>(std::find(rows_.begin(), rows_.end(), sender) - rows_.begin());
        if (editingIndex_ == rowNoteIndex_) rowNoteIndex_ = SIZE_MAX;
        std::vector<Property> properties;
        if (Component* component = CurrentComponent()) component->Serialize(properties);
        SetFieldText(sender, editingIndex_ < properties.size() ? properties[editingIndex_].name + ": " : "");
    } else if (textEditing_) {
        EndRowEdit(sender);
    }
}

void MapEditor::OnDevMessage(DevMessageEvent& event)
{
    if (closing_) return;
    if (event.text == "\\edit-end") Close();
    if (event.text != "\\edit-remove-all") return;
    Space* edited = EditedSpace();
    if (!edited) return;
    Step all{"remove all", {}, {}};
    std::vector<EntityRef> entities;
    for (const auto& entity : edited->Entities()) entities.push_back(entity->Ref());
    std::string kept;
    for (const EntityRef& ref : entities) {
        Entity* entity = ref.Get();
        if (!entity) continue;
        if (std::string need = NeededBy(*entity, true); !need.empty()) {
            kept += (kept.empty() ? "" : ", ") + ("\"" + entity->name + "\" (for " + need + ")");
            continue;
        }
        Step one = DeletionStep(*entity);
        all.undo.push_back(one.undo[0]);
        all.redo.push_back(one.redo[0]);
        DeleteKeyed(KeyOf(*entity));
    }
    if (!all.undo.empty()) Push(std::move(all));
    if (!kept.empty()) Refuse("kept what the game needs: " + kept);
}

void MapEditor::OnDestroySpace(DestroySpaceEvent& event)
{
    // The engine may have freed the space already: the links still tell it is this one.
    if (!event.space.SameAs(edited_)) return;
    edited_ = SpaceRef();
    selected_ = EntityRef();
    Close();
}

// ---------------------------------------------------------------- what the game needs

std::string MapEditor::NeededBy(const Entity& target, bool deleting) const
{
    Space* edited = EditedSpace();
    if (!edited) return "";
    auto matches = [&target](const char* pattern) { return fnmatch(pattern, target.name.c_str(), 0) == 0; };
    for (const auto& entity : edited->Entities()) {
        if (deleting && entity.get() == &target) continue;  // it goes with the one that needs it
        for (int type = 0; type < kComponentTypeCount; ++type) {
            const Component* component = entity->GetComponent(type);
            if (!component) continue;
            for (const std::string& pattern : component->NamesNeeded())
                if (matches(pattern.c_str())) return "\"" + entity->name + "\" (" + ComponentRegistry::Get()->NameOf(type) + ")";
        }
    }
    return "";
}

// A component that looks entities up by name would stop the game at its first update
// without them.
std::string MapEditor::MissingFor(const Component& prototype) const
{
    Space* edited = EditedSpace();
    if (!edited) return "";
    for (const std::string& pattern : prototype.NamesNeeded()) {
        bool found = std::any_of(edited->Entities().begin(), edited->Entities().end(),
                                 [&pattern](const auto& e) { return fnmatch(pattern.c_str(), e->name.c_str(), 0) == 0; });
        if (!found) return "\"" + pattern + "\"";
    }
    return "";
}

// ---------------------------------------------------------------- undo and redo

bool MapEditor::Unsaved() const
{
    return !savedAt_ || *savedAt_ != done_;
}

// A new edit drops the steps undone before it.
void MapEditor::Push(Step step)
{
    history_.resize(done_);
    if (savedAt_ && *savedAt_ > done_) savedAt_.reset();
    history_.push_back(std::move(step));
    ++done_;
}

void MapEditor::Undo()
{
    if (done_ == 0) return Trace("Map editor: nothing to undo\n");
    const Step& step = history_[--done_];
    for (auto undo = step.undo.rbegin(); undo != step.undo.rend(); ++undo) (*undo)();
    EmptyRows();
    ShowSelection();
    Trace("Map editor: undone: " + step.what + "\n");
}

void MapEditor::Redo()
{
    if (done_ == history_.size()) return Trace("Map editor: nothing to redo\n");
    const Step& step = history_[done_++];
    for (const auto& redo : step.redo) redo();
    EmptyRows();
    ShowSelection();
    Trace("Map editor: redone: " + step.what + "\n");
}

int MapEditor::KeyOf(const Entity& entity)
{
    for (size_t key = 0; key < keys_.size(); ++key)
        if (keys_[key].Get() == &entity) return static_cast<int>(key);
    keys_.push_back(entity.Ref());
    return static_cast<int>(keys_.size() - 1);
}

Entity* MapEditor::Keyed(int key) const
{
    return key >= 0 && static_cast<size_t>(key) < keys_.size() ? keys_[static_cast<size_t>(key)].Get() : nullptr;
}

// The named properties of the component (all of them when names is empty) as the file holds them.
MapEditor::Values MapEditor::ValuesOf(Component& component, const std::vector<std::string>& names) const
{
    Values values = std::make_shared<rapidjson::Document>();
    values->SetObject();
    std::vector<Property> properties;
    component.Serialize(properties);
    for (const Property& p : properties)
        if (names.empty() || std::find(names.begin(), names.end(), p.name) != names.end())
            values->AddMember(rapidjson::Value(p.name.c_str(), values->GetAllocator()),
                              AuthoredSpace::ValueOf(p, values->GetAllocator()), values->GetAllocator());
    return values;
}

void MapEditor::ApplyValues(int key, int type, const Values& values)
{
    Entity* entity = Keyed(key);
    Component* component = entity ? entity->GetComponent(type) : nullptr;
    if (!component) return;
    std::vector<Property> properties;
    component->Serialize(properties);
    std::string typeName = ComponentRegistry::Get()->NameOf(type);
    try {
        for (const Property& p : properties) {
            if (!values->HasMember(p.name.c_str())) continue;
            ReadValue(*values, p, typeName);
            authored_->SetProperty(*entity, typeName, p);
        }
    } catch (const GameError& error) {
        Trace(std::string("Map editor: ") + error.what() + "\n");
    }
    AfterPropertyWrite(*component);
}

void MapEditor::PushValues(Entity& entity, int type, const Values& before, const std::string& what)
{
    Component* component = entity.GetComponent(type);
    if (!component) return;
    std::vector<std::string> names;
    for (const auto& member : before->GetObject()) names.push_back(member.name.GetString());
    Values after = ValuesOf(*component, names);
    if (static_cast<const rapidjson::Value&>(*after) == static_cast<const rapidjson::Value&>(*before)) return;
    int key = KeyOf(entity);
    Push({what + " " + entity.name, {[this, key, type, before] { ApplyValues(key, type, before); }},
          {[this, key, type, after] { ApplyValues(key, type, after); }}});
}

} // namespace volleyrun
