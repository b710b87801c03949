#include "spritetext.h"

#include "entity.h"
#include "event.h"
#include "graphics.h"
#include "sprite.h"
#include "transform.h"

namespace volleyrun {

namespace {

glm::mat3 GlyphScale(float size)
{
    return glm::mat3(size, 0.0f, 0.0f, 0.0f, 0.75f, 0.0f, 0.0f, 0.0f, 1.0f);
}

} // namespace

SpriteText::SpriteText(Entity* owner, std::string initialText, float initialSize, int32_t initialJustification,
                       float initialOffset)
    : ComponentOf(owner), offset(initialOffset), justification(initialJustification), text(std::move(initialText)),
      lastSize(initialSize), size(initialSize)
{
    Rebuild();
    glyphMatrix = GlyphScale(size);
}

void SpriteText::Initialize()
{
    Listen(*owner->events, &SpriteText::OnDraw);
    Listen(*owner->events, &SpriteText::OnText);
}

void SpriteText::Serialize(std::vector<Property>& properties)
{
    properties.push_back({"text", &text, kString});
    properties.push_back({"justification", &justification, kInt});
    properties.push_back({"offset", &offset, kFloat});
    properties.push_back({"size", &size, kFloat});
    properties.push_back({"isGlowing", &isGlowing, kBool});
}

void SpriteText::SetText(std::string newText)
{
    text = std::move(newText);
    Rebuild();
}

void SpriteText::Rebuild()
{
    glyphs_.clear();
    std::string filtered;
    const char* sheet = isGlowing ? "FontSheetGlow00.png" : "FontSheet00.png";
    for (char c : text) {
        // Signed: bytes of 128 and above are negative here and dropped with the rest.
        if (c < kFirstGlyph || c > kLastGlyph) continue;
        filtered += c;
        glyphs_.push_back(std::make_unique<Sprite>(owner, sheet, static_cast<uint32_t>(c - kFirstGlyph)));
    }
    text = filtered;
    lastText = text;
}

void SpriteText::OnText(TextEvent& event)
{
    text = event.text;
}

void SpriteText::OnDraw(DrawEvent&)
{
    if (size != lastSize || text != lastText) dirty = true;
    if (!visible || text.empty()) return;
    if (dirty) {
        Rebuild();
        glyphMatrix = GlyphScale(size);
        lastSize = size;
        dirty = false;
    }
    Transform* transform = owner->Get<Transform>();
    if (glyphs_.empty() || !transform) return;
    glm::mat3 m = transform->GetMatrix() * glyphMatrix;
    float x = m[2][0];
    float width = static_cast<float>(glyphs_.size() - 1) * size;
    if (justification == 1) x -= width * offset;
    else if (justification == 2) x -= width * 0.5f * offset;
    m[2][0] = x;
    bool shown = !Graphics::Get()->debugDraw;
    if (shown) glyphs_[0]->Draw(m, colour);
    for (size_t i = 1; i < glyphs_.size(); ++i) {
        if (!glyphs_[i]->visible) continue;
        x += offset * size;
        m[2][0] = x;
        if (shown) glyphs_[i]->Draw(m, colour);
    }
}

} // namespace volleyrun
