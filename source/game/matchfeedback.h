// MatchFeedback: what the players see and hear of their own play, on the match space's
// "MatchFeedback" entity. It listens on the engine-wide manager: every swing (SwingEvent)
// sounds, every return (BallReturnedEvent) sounds by its grade and pops the hitter's grade
// sign ("BillBoardP0" / "BillBoardP1") anew, with EARLY or LATE under it ("Timing0" /
// "Timing1") and his run of hits ("Streak0" / "Streak1", from MatchStats); every lost ball
// (BallLostEvent) sounds and shows MISS. The pops run on the entity's own frame updates, so
// they stop while the match is paused. Game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <glm/vec2.hpp>

#include <array>

namespace volleyrun {

class BallLostEvent;
class BallReturnedEvent;
class SwingEvent;
class UpdateEvent;

class MatchFeedback : public ComponentOf<MatchFeedback, kMatchFeedback> {
public:
    static constexpr float kPopSeconds = 0.18f;  // a sign's pop back to its size
    static constexpr float kPopGrowth = 0.3f;    // extra size at the start of a pop

    explicit MatchFeedback(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    std::vector<std::string> NamesNeeded() const override { return {"BillBoardP[01]", "Timing[01]", "Streak[01]"}; }
    void Serialize(std::vector<Property>&) override {}

    void OnSwing(SwingEvent& event);
    void OnReturned(BallReturnedEvent& event);
    void OnLost(BallLostEvent& event);
    void OnUpdate(UpdateEvent& event);

    // Sign frame of a grade (0 best .. 3) for player 0 or 1; MISS with grade -1.
    static uint32_t SignFrame(int player, int grade);

private:
    void Play(const char* path) const;
    struct Side {
        EntityRef sign, timing, streak;
        glm::vec2 signScale{1.0f};  // the sign's size at rest
        float pop = 0.0f;           // seconds left of its pop
    };
    void Show(int player, int grade, const char* timing);
    void ShowStreak(int player);

    std::array<Side, 2> sides_;
};

} // namespace volleyrun
