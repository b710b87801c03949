#include "gamecomponents.h"

#include "componentregistry.h"
#include "ballmanager.h"
#include "beatdivider.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "behaviormusician.h"
#include "behaviorplatform.h"
#include "behaviorplayer.h"
#include "endgamelogic.h"
#include "levellogic.h"
#include "lifeindicator.h"
#include "matchfeedback.h"
#include "scorecounter.h"
#include "testingcomponent.h"
#include "timer.h"

namespace volleyrun {

void RegisterGameComponents(ComponentRegistry& registry)
{
    registry.Register("TestingComponent", std::make_unique<TestingComponent>(nullptr));
    registry.Register("BeatDivider", std::make_unique<BeatDivider>(nullptr));
    registry.Register("ScoreCounter", std::make_unique<ScoreCounter>(nullptr));
    registry.Register("BehaviorBall", std::make_unique<BehaviorBall>(nullptr));
    registry.Register("BehaviorPlayer", std::make_unique<BehaviorPlayer>(nullptr));
    registry.Register("BehaviorPlatform", std::make_unique<BehaviorPlatform>(nullptr));
    registry.Register("Timer", std::make_unique<Timer>(nullptr));
    registry.Register("LevelLogic", std::make_unique<LevelLogic>(nullptr));
    registry.Register("BehaviorMusician", std::make_unique<BehaviorMusician>(nullptr));
    registry.Register("BallManager", std::make_unique<BallManager>(nullptr));
    registry.Register("LifeIndicator", std::make_unique<LifeIndicator>(nullptr));
    registry.Register("BehaviorMeter", std::make_unique<BehaviorMeter>(nullptr));
    registry.Register("MatchFeedback", std::make_unique<MatchFeedback>(nullptr));
    registry.Register("EndGameLogic", std::make_unique<EndGameLogic>(nullptr));
}

} // namespace volleyrun
