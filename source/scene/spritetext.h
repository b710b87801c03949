// SpriteText: a line of text drawn on its entity, one quad per character, each a frame of
// a font sheet ("FontSheet00.png", or "FontSheetGlow00.png" when glowing) whose frame k
// shows the character 32 + k, from the space to the small letter z. Scores, timers, menus,
// the debug overlay and the editor use it; they assign text and call Rebuild (or SetText),
// or send the entity a TextEvent; a text or size change is noticed at the next draw. Draws on its entity's
// DrawEvent. Game thread only.
#pragma once

#include "component.h"

#include <glm/mat3x3.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace volleyrun {

class DrawEvent;
class TextEvent;
class Sprite;

class SpriteText : public ComponentOf<SpriteText, kSpriteText> {
public:
    static constexpr char kFirstGlyph = 32;   // space
    static constexpr char kLastGlyph = 122;   // small letter z

    SpriteText(Entity* owner, std::string text = "Spritetext!", float size = 1.0f, int32_t justification = 0,
               float offset = 37.0f);

    void Initialize() override;
    void Serialize(std::vector<Property>& properties) override;

    void SetText(std::string newText);
    // Drops the characters the sheets do not hold and builds one glyph per character left.
    void Rebuild();
    void OnDraw(DrawEvent& event);
    // Takes the event's text; the glyphs follow at the next draw.
    void OnText(TextEvent& event);

    const std::vector<std::unique_ptr<Sprite>>& Glyphs() const { return glyphs_; }

    bool visible = true;
    bool isGlowing = false;
    glm::mat3 glyphMatrix{1.0f};  // diag(size, 0.75, 1): per-glyph scale over the Transform's
    bool dirty = false;           // rebuild before the next draw
    float offset;                 // world units from one character to the next, per unit of size
    int32_t justification;        // 0 left, 1 right, 2 centre; anything else acts as 0
    std::string lastText;         // what the glyphs were built from
    std::string text;
    float lastSize;               // what glyphMatrix was built for
    float size;                   // scales the glyph width and the advance
    glm::vec4 colour{1.0f};       // tint of every glyph

private:
    std::vector<std::unique_ptr<Sprite>> glyphs_;  // one per drawn character, in text order
};

} // namespace volleyrun
