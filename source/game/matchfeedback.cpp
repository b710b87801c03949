#include "matchfeedback.h"

#include "entity.h"
#include "matchstats.h"
#include "space.h"
#include "sprite.h"
#include "spritetext.h"
#include "texture.h"
#include "transform.h"

#include <algorithm>

namespace volleyrun {

namespace {

// Hit sounds from the best grade to the widest window; a forced return gets the soft one.
const char* const kHitSounds[MatchStats::kGrades] = {"event:/Match/HitPerfect", "event:/Match/HitGreat",
                                                     "event:/Match/HitGood", "event:/Match/HitOk"};
const char* const kForcedReturnSound = "event:/Match/Return";
const char* const kSwingSound = "event:/Match/Swing";
const char* const kMissSound = "event:/Match/Miss";
constexpr int kShortestStreak = 2;  // a run shows from its second hit on

SpriteText* TextOf(const EntityRef& entity)
{
    Entity* found = entity.Get();
    return found ? found->Get<SpriteText>() : nullptr;
}

} // namespace

void MatchFeedback::Play(const char* path) const
{
    EngineEvents().Send(PlaySoundEvent(path, false));
}

void MatchFeedback::Initialize()
{
    EventManager* events = &EngineEvents();
    Listen(*events, &MatchFeedback::OnSwing);
    Listen(*events, &MatchFeedback::OnReturned);
    Listen(*events, &MatchFeedback::OnLost);
    Listen(*owner->events, &MatchFeedback::OnUpdate);
    const Space& space = *owner->space;
    for (int player = 0; player < 2; ++player) {
        std::string number = std::to_string(player);
        Side& side = sides_[player];
        Entity* sign = space.RequireEntity("BillBoardP" + number);
        sign->Require<Sprite>();
        side.sign = sign->Ref();
        side.signScale = sign->Require<Transform>()->scale;
        side.timing = space.RequireEntity("Timing" + number)->Ref();
        side.streak = space.RequireEntity("Streak" + number)->Ref();
        TextOf(side.timing)->SetText("");
        TextOf(side.streak)->SetText("");
    }
}

uint32_t MatchFeedback::SignFrame(int player, int grade)
{
    // UI_Billboards_Rings.png: MISS, PERFECT, GREAT, GOOD, OK of player 1, then of player 2.
    constexpr uint32_t kFrames[2][MatchStats::kGrades + 1] = {{0, 3, 2, 1, 10}, {5, 8, 7, 6, 11}};
    return kFrames[player][std::clamp(grade, -1, MatchStats::kGrades - 1) + 1];
}

void MatchFeedback::OnSwing(SwingEvent&)
{
    Play(kSwingSound);
}

void MatchFeedback::OnReturned(BallReturnedEvent& event)
{
    int player = event.player == 0 ? 0 : 1;
    if (event.grade < 0 || event.grade >= MatchStats::kGrades) {
        Play(kForcedReturnSound);  // the ball came back by itself: nobody earned a sign
        return;
    }
    Play(kHitSounds[event.grade]);
    // The best grade is on time; the others say which way the swing missed it.
    Show(player, event.grade, event.grade == 0 ? "" : event.error < 0.0f ? "EARLY" : "LATE");
}

void MatchFeedback::OnLost(BallLostEvent& event)
{
    Play(kMissSound);
    Show(event.lane >= 0 ? 1 : 0, -1, "");
}

void MatchFeedback::Show(int player, int grade, const char* timing)
{
    Side& side = sides_[player];
    if (Entity* sign = side.sign.Get()) {
        Sprite* sprite = sign->Require<Sprite>();
        uint32_t frame = SignFrame(player, grade);
        sprite->frameIndex = frame < sprite->GetTexture().frameCount ? frame : 0;
        side.pop = kPopSeconds;  // the same grade again pops again
    }
    if (SpriteText* text = TextOf(side.timing)) text->SetText(timing);
    ShowStreak(player);
}

void MatchFeedback::ShowStreak(int player)
{
    SpriteText* text = TextOf(sides_[player].streak);
    if (!text) return;
    int32_t streak = MatchStats::Get().players[player].streak;
    text->SetText(streak >= kShortestStreak ? std::to_string(streak) + " IN A ROW" : "");
}

// A pop starts large and eases back to the sign's own size.
void MatchFeedback::OnUpdate(UpdateEvent& event)
{
    for (Side& side : sides_) {
        Entity* sign = side.sign.Get();
        if (!sign || side.pop <= 0.0f) continue;
        side.pop = std::max(0.0f, side.pop - event.dt);
        float left = side.pop / kPopSeconds;
        sign->Require<Transform>()->scale = side.signScale * (1.0f + kPopGrowth * left * left);
    }
}

} // namespace volleyrun
