#include "textbox.h"

#include "entity.h"
#include "frameclock.h"
#include "input.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"
#include "transform.h"

namespace volleyrun {

namespace {

const char* const kPlainImage = "SolidWhite.png";
constexpr float kBackgroundAlpha = 0.75f;
constexpr float kBackgroundBelow = 0.5f;  // sprite layers under the text
constexpr float kTextInset = 4.0f;        // the first character's centre, right of the left edge
constexpr float kTimerSlack = 1e-4f;      // thirty 1/60 s frames may add up to a hair under 0.5 in floats

} // namespace

TextBox* TextBox::focused_ = nullptr;
EntityRef TextBox::focusedOwner_;
float TextBox::blinkTimer_ = 0.0f;
int64_t TextBox::clickFrame_ = 0;
bool TextBox::clickTaken_ = false;

void TextBox::Initialize()
{
    owner->Require<Transform>();
    owner->Require<SpriteText>();
    Entity* background = MakeBackground();
    background_ = background->Ref();
    ListenTo(*background, &TextBox::OnClick);
    Listen(EngineEvents(), &TextBox::OnTextTyped);
    Listen(*owner->space->events, &TextBox::OnUpdate);
    Redraw();
}

void TextBox::Terminate()
{
    if (focused_ == this) ClearFocus();
    editing_ = false;
    if (Entity* background = background_.Get()) owner->space->events->Send(DestroyEvent(background->Ref(), 0.0f));
    background_ = EntityRef();
}

void TextBox::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"backgroundScaleX", &backgroundScaleX, kFloat});
    properties.push_back({"actualText", &actualText, kString});
    properties.push_back({"lockedChars", &lockedChars, kInt});
}

// A space saved while its boxes were alive holds their backgrounds already: reusing the
// one found keeps every load and save from adding another.
Entity* TextBox::MakeBackground()
{
    Space& space = *owner->space;
    const std::string name = owner->name + kBackgroundSuffix;
    Entity* background = space.FindEntity(name);
    if (!background) {
        Entity look(name);
        look.AddComponent(*owner->Get<Transform>());
        if (const Sprite* sprite = owner->Get<Sprite>()) look.AddComponent(*sprite);
        else look.AddComponent(Sprite(nullptr, kPlainImage));
        background = space.CreateEntity(look, true);
    }
    PlaceBackground(*background);
    space.ReorderEntity(background);
    return background;
}

void TextBox::PlaceBackground(Entity& background) const
{
    const Transform& text = *owner->Get<Transform>();
    Transform* transform = background.Require<Transform>();
    transform->scale.x = backgroundScaleX;
    transform->translation = {text.translation.x + backgroundScaleX * 0.5f - kTextInset, text.translation.y};
    Sprite* sprite = background.Get<Sprite>();
    if (!sprite) sprite = static_cast<Sprite*>(background.AddComponent(Sprite(nullptr, kPlainImage)));
    const Sprite* textSprite = owner->Get<Sprite>();
    sprite->zLayer = (textSprite ? textSprite->zLayer : 0.0f) - kBackgroundBelow;
    sprite->colour.a = kBackgroundAlpha;
}

TextBox* TextBox::Focused()
{
    return focusedOwner_.Get() ? focused_ : nullptr;
}

bool TextBox::ClickTaken()
{
    return clickTaken_ && clickFrame_ == FrameClock::Get()->frameStart;
}

void TextBox::ClearFocus()
{
    focused_ = nullptr;
    focusedOwner_ = EntityRef();
    blinkTimer_ = 0.0f;
    clickTaken_ = false;
}

void TextBox::SetText(std::string text)
{
    actualText = std::move(text);
    Redraw();
}

std::string TextBox::DisplayedText() const
{
    if (Focused() == this) return caretVisible ? actualText + "-" : actualText;
    const SpriteText* text = owner->Get<SpriteText>();
    float width = text ? text->offset * text->size : 0.0f;
    if (!(width > 0.0f)) return actualText;
    float fits = backgroundScaleX / width;  // NaN or beyond the text: everything fits
    if (!(fits < static_cast<float>(actualText.size()))) return actualText;
    return fits > 0.0f ? actualText.substr(0, static_cast<size_t>(fits)) : std::string();
}

void TextBox::Redraw()
{
    if (SpriteText* text = owner->Get<SpriteText>()) text->SetText(DisplayedText());
}

bool TextBox::Acting() const
{
    return lockedChars != kInert && (!owner->space->paused || owner->space->widgetsLive);
}

// Sent at once, so a box that loses the focus to another always reports before the new
// one does, whatever the order of the two entities in their spaces.
void TextBox::Report(int state)
{
    owner->events->Send(TriggerEvent(state, kTriggerName, owner->Ref()));
}

void TextBox::OnClick(TriggerEvent& event)
{
    if (event.name != "mouse" || event.state == 1 || !Acting()) return;  // state 1: the pointer left
    const Input* input = Input::Get();
    if (input->textMode || input->Key(Input::kMouseLeft) != kKeyPressed) return;
    TakeFocus();
}

void TextBox::TakeFocus()
{
    clickTaken_ = true;
    clickFrame_ = FrameClock::Get()->frameStart;
    TextBox* previous = Focused();
    focused_ = this;
    focusedOwner_ = owner->Ref();
    if (previous && previous != this) previous->StopEditing();
    Redraw();
    if (editing_) return;
    editing_ = true;
    Report(0);
}

// The box keeps the focus (typing still reaches it); it only reports that editing ended.
// Each state 0 gets exactly one state 1, whatever the caret showed at the time.
void TextBox::StopEditing()
{
    caretVisible = false;
    Redraw();
    if (!editing_) return;
    editing_ = false;
    Report(1);
}

void TextBox::OnUpdate(UpdateEvent& event)
{
    if (Focused() == this && Acting()) UpdateFocused(event.dt);
}

void TextBox::UpdateFocused(float dt)
{
    const Input* input = Input::Get();
    if (input->Key(Input::kMouseLeft) == kKeyPressed && !ClickTaken()) {
        StopEditing();
        blinkTimer_ = 2.0f * kBlinkHalfPeriod;  // the caret comes back at the next update
        return;
    }
    if (input->Key(Input::kKeyEnter) == kKeyPressed) {
        StopEditing();
        return;
    }
    blinkTimer_ += dt;
    if (blinkTimer_ + kTimerSlack < kBlinkHalfPeriod) return;
    caretVisible = !caretVisible;
    blinkTimer_ = 0.0f;
    Redraw();
}

// The developer console's line is not for the box: while it has the keyboard, typing
// (the backslash that opened it included) stays out of the field.
void TextBox::OnTextTyped(TextTypedEvent&)
{
    const Input* input = Input::Get();
    if (Focused() != this || !Acting() || input->textMode) return;
    const std::string& typed = input->TypedThisFrame();
    if (typed.find('\n') != std::string::npos) return;
    if (typed.find('\b') != std::string::npos) {
        if (!actualText.empty() && static_cast<int64_t>(actualText.size()) > lockedChars) actualText.pop_back();
    } else {
        actualText += typed;
    }
    Redraw();
}

} // namespace volleyrun
