#include "animation.h"

#include "entity.h"
#include "space.h"
#include "sprite.h"
#include "texture.h"
#include "texturestore.h"

namespace volleyrun {

void Animation::Initialize()
{
    Listen(*owner->events, &Animation::OnDivision);
}

void Animation::OnDivision(BeatDivisionEvent& event)
{
    Sprite* sprite = owner->Get<Sprite>();
    if (!sprite) return;
    int64_t count = sprite->GetTexture().frameCount;
    int64_t frame = sprite->frameIndex;
    int64_t next = frame >= count - 1 ? 0 : frame + 1;
    sprite->frameIndex = static_cast<uint32_t>(next < count ? next : 0);

    if (owner->space && owner->space->paused) return;  // a frozen match keeps its last frame
    float progress = static_cast<float>(sprite->frameIndex) / static_cast<float>(count);
    bool resync = count == event.divisionCount || progress < 0.4f || progress > 0.6f;
    if (event.divisionIndex == 0 && resync) sprite->frameIndex = 0;
}

} // namespace volleyrun
