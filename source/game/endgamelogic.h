// EndGameLogic: the end of a match. EndCheck, called after every meter change and by the
// match clock at zero, decides the winner (a full meter at once; at time-up the fuller
// meter, or a draw), freezes the game space, shows the result in "WinArt", and opens the
// space "EndGame" five seconds later. The component itself sits on the end screen: it
// fills each player's statistics from MatchStats ("StatP1_0" .. "StatP2_7", one row per
// line of StatLines), keeps the menu song playing, and, once the player has gone back to
// the main menu, destroys the match spaces and sets the music back. Game thread only.
#pragma once

#include "component.h"
#include "matchstats.h"

#include <array>
#include <string>

namespace volleyrun {

class BehaviorMeter;
class UpdateEvent;

class EndGameLogic : public ComponentOf<EndGameLogic, kEndGameLogic> {
public:
    static constexpr float kEndScreenDelay = 5.0f;  // seconds from the end to "EndGame"
    static constexpr int kStatRows = 8;

    // A player's statistics as the end screen words them: hits of each grade (best first),
    // misses, mean timing ("12 ms early", "on time", "-" without timed hits), longest streak
    // and accuracy in whole percent ("-" when no ball came to him).
    static std::array<std::string, kStatRows> StatLines(const MatchStats::Player& player);

    explicit EndGameLogic(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    void Terminate() override;
    std::vector<std::string> NamesNeeded() const override { return {"StatP[12]_*"}; }
    void Serialize(std::vector<Property>&) override {}

    // meter: the meter that changed (or "BeatMeter1" at time-up); leftSide: it stands left
    // of the middle; timeUp: the clock ran out (decide by the meters).
    static void EndCheck(BehaviorMeter& meter, bool leftSide, bool timeUp);

    void OnUpdate(UpdateEvent& event);

private:
    void ShowStats();
    void SendMusicBack() const;
};

} // namespace volleyrun
