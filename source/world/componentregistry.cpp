#include "componentregistry.h"

#include "animation.h"
#include "ballmanager.h"
#include "beatdivider.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "behaviormusician.h"
#include "behaviorplatform.h"
#include "behaviorplayer.h"
#include "boxcollider.h"
#include "button.h"
#include "circlecollider.h"
#include "controlslogic.h"
#include "credits.h"
#include "endgamelogic.h"
#include "followobject.h"
#include "hover.h"
#include "levellogic.h"
#include "lifeindicator.h"
#include "mainmenulogic.h"
#include "mapeditor.h"
#include "matchfeedback.h"
#include "mouse.h"
#include "mouseclickeventsender.h"
#include "optionslogic.h"
#include "particleemitter.h"
#include "pauselogic.h"
#include "rigidbody.h"
#include "scorecounter.h"
#include "slider.h"
#include "spaceloader.h"
#include "sprite.h"
#include "spritetext.h"
#include "stub.h"
#include "testingcomponent.h"
#include "textbox.h"
#include "timer.h"
#include "transform.h"
#include "tutorial.h"

namespace {
std::unique_ptr<ComponentRegistry> instance;
}

ComponentRegistry* ComponentRegistry::Get()
{
    if (!instance) instance.reset(new ComponentRegistry());
    return instance.get();
}

void ComponentRegistry::Destroy()
{
    instance.reset();
}

// Every component class is registered here, in this order, under its class name.
ComponentRegistry::ComponentRegistry()
{
    Register("Stub", std::make_unique<Stub>(nullptr));
    Register("Transform", std::make_unique<Transform>(nullptr, glm::vec2(0.0f, 0.0f), glm::vec2(10.0f, 10.0f), 0.0f));
    Register("TestingComponent", std::make_unique<TestingComponent>(nullptr));
    Register("Sprite", std::make_unique<Sprite>(nullptr, "TestingLines.png", 0, 0.0f, glm::vec4(1.0f), true));
    Register("RigidBody", std::make_unique<RigidBody>(nullptr));
    Register("CircleCollider", std::make_unique<CircleCollider>(nullptr));
    Register("BoxCollider", std::make_unique<BoxCollider>(nullptr));
    Register("MouseClickEventSender", std::make_unique<MouseClickEventSender>(nullptr));
    Register("Button", std::make_unique<Button>(nullptr));
    Register("SpaceLoader", std::make_unique<SpaceLoader>(nullptr, "Splash", "button"));
    Register("SpriteText", std::make_unique<SpriteText>(nullptr, "Spritetext!", 1.0f, 0, 37.0f));
    Register("Animation", std::make_unique<Animation>(nullptr));
    Register("PauseLogic", std::make_unique<PauseLogic>(nullptr));
    Register("BeatDivider", std::make_unique<BeatDivider>(nullptr));
    Register("Mouse", std::make_unique<Mouse>(nullptr));
    Register("ScoreCounter", std::make_unique<ScoreCounter>(nullptr));
    Register("FollowObject", std::make_unique<FollowObject>(nullptr));
    Register("BehaviorBall", std::make_unique<BehaviorBall>(nullptr));
    Register("BehaviorPlayer", std::make_unique<BehaviorPlayer>(nullptr));
    Register("TextBox", std::make_unique<TextBox>(nullptr));
    Register("Timer", std::make_unique<Timer>(nullptr));
    Register("LevelLogic", std::make_unique<LevelLogic>(nullptr));
    Register("BehaviorMusician", std::make_unique<BehaviorMusician>(nullptr));
    Register("BallManager", std::make_unique<BallManager>(nullptr));
    Register("LifeIndicator", std::make_unique<LifeIndicator>(nullptr));
    Register("BehaviorMeter", std::make_unique<BehaviorMeter>(nullptr));
    Register("MatchFeedback", std::make_unique<MatchFeedback>(nullptr));
    Register("ParticleEmitter", std::make_unique<ParticleEmitter>(nullptr));
    Register("BehaviorPlatform", std::make_unique<BehaviorPlatform>(nullptr));
    Register("Credits", std::make_unique<Credits>(nullptr));
    Register("MainMenuLogic", std::make_unique<MainMenuLogic>(nullptr));
    Register("EndGameLogic", std::make_unique<EndGameLogic>(nullptr));
    Register("OptionsLogic", std::make_unique<OptionsLogic>(nullptr));
    Register("Slider", std::make_unique<Slider>(nullptr));
    Register("Hover", std::make_unique<Hover>(nullptr));
    Register("Tutorial", std::make_unique<Tutorial>(nullptr));
    Register("ControlsLogic", std::make_unique<ControlsLogic>(nullptr));
    Register("MapEditor", std::make_unique<MapEditor>(nullptr));
}

void ComponentRegistry::Register(const std::string& name, std::unique_ptr<Component> prototype)
{
    prototypes_[name] = std::move(prototype);
}

const Component* ComponentRegistry::Find(const std::string& name) const
{
    auto found = prototypes_.find(name);
    return found == prototypes_.end() ? nullptr : found->second.get();
}

const std::string& ComponentRegistry::NameOf(int type) const
{
    static const std::string none;
    for (const auto& [name, prototype] : prototypes_)
        if (prototype->type == type) return name;
    return none;
}
