// Test helpers: a small but complete "game" space, its archetypes and an engine over it, to play a match by hand.
#pragma once

#include "audioengine.h"
#include "audiotestcontent.h"
#include "imagetestfiles.h"
#include "ballmanager.h"
#include "behaviorball.h"
#include "behaviormeter.h"
#include "behaviorplayer.h"
#include "testcontent.h"

#include <string>
#include <vector>

namespace volleyrun {

namespace testing_content {

// An entity object: name, position and extra component members ("\"Sprite\": {...}").
inline std::string Thing(const std::string& name, float x, float y, const std::string& members = "")
{
    return "{\"name\": \"" + name + "\", \"archetypeName\": \"" + name + "\", \"Transform\": {\"translationX\": " +
           std::to_string(x) + ", \"translationY\": " + std::to_string(y) + ", \"scaleX\": 60, \"scaleY\": 60}" +
           (members.empty() ? "" : ", " + members) + "}";
}

inline std::string GameSpaceJson()
{
    const std::string emitter = "\"ParticleEmitter\": {\"spawnsPerMinute\": 600, \"lifeTime\": 0.5, \"isActive\": false}";
    std::vector<std::string> entities = {
        Thing("levelLogic", 0, 0,
              "\"BallManager\": {}, \"BeatDivider\": {\"denominator\": 4}, \"Timer\": {\"secondsOfGame\": 120}"),
        Thing("BeatMeter1", -300, 230, "\"BehaviorMeter\": {}, \"BeatDivider\": {\"denominator\": 4}"),
        Thing("BeatMeter2", 300, 230, "\"BehaviorMeter\": {}, \"BeatDivider\": {\"denominator\": 4}"),
        Thing("BeatMeter1BackBottom", -300, 200, emitter),
        Thing("BeatMeter2BackBottom", 300, 200, emitter),
        Thing("BillBoardP0", -300, 100, "\"Sprite\": {\"imageName\": \"Billboard.png\"}"),
        Thing("BillBoardP1", 300, 100, "\"Sprite\": {\"imageName\": \"Billboard.png\"}"),
        Thing("PlayerScore0", -100, 240, "\"SpriteText\": {\"text\": \"0\"}"),
        Thing("PlayerScore1", 100, 240, "\"SpriteText\": {\"text\": \"0\"}"),
        Thing("TimerMin", -20, 240, "\"SpriteText\": {\"text\": \"\"}"),
        Thing("TimerSec", 20, 240, "\"SpriteText\": {\"text\": \"\"}"),
        Thing("TimerGlow", 0, 240, "\"SpriteText\": {\"text\": \":\"}"),
        Thing("ScoreCounter", 0, 0, "\"SpriteText\": {\"text\": \"\"}, \"ScoreCounter\": {}"),
        Thing("WinArt", 0, 0, "\"Sprite\": {\"imageName\": \"default.png\"}"),
        Thing("LifeIndicator0", -400, -240, "\"LifeIndicator\": {\"imageName\": \"default.png\", \"imageOverlay\": \"default.png\", \"offsetX\": 20}"),
        Thing("LifeIndicator1", 400, -240, "\"LifeIndicator\": {\"imageName\": \"default.png\", \"imageOverlay\": \"default.png\", \"offsetX\": -20}"),
        Thing("CountIn", 0, 50, "\"SpriteText\": {\"text\": \"\"}"),
        Thing("MatchFeedback", 0, 0, "\"MatchFeedback\": {}"),
    };
    for (int player = 0; player < 2; ++player) {
        for (int spot : {1, 2, 4}) {
            float x = (player == 0 ? -100.0f : 100.0f) * static_cast<float>(spot);
            std::string suffix = std::to_string(player) + "Pos" + std::to_string(spot);
            entities.push_back(Thing("Player" + suffix, x, -150,
                                     "\"Sprite\": {\"imageName\": \"default.png\"}, \"BehaviorMusician\": {\"position\": " +
                                         std::to_string(spot) + ", \"character\": \"\"}"));
            entities.push_back(Thing("Platform" + suffix, x, -200, "\"BehaviorPlatform\": {\"offsetX\": " +
                                                                     std::to_string(x * 1.5f) + ", \"offsetY\": -200}"));
            entities.push_back(Thing("HitEffect_Player" + suffix, x, -150, emitter));
            entities.push_back(Thing("MissEffect_Player" + suffix, x, -150, emitter));
        }
        for (const char* text : {"Timing", "Streak"})
            entities.push_back(Thing(text + std::to_string(player), 0, 0, "\"SpriteText\": {\"text\": \"\"}"));
        entities.push_back(Thing("Player" + std::to_string(player), 0, 0,
                                 "\"BehaviorPlayer\": {\"player\": " + std::to_string(player) + ", \"position\": 4, \"lives\": 5}"));
    }
    std::string json = "{\"zLayer\": 0, \"entities\": [\n" + entities[0];
    for (size_t i = 1; i < entities.size(); ++i) json += ",\n" + entities[i];
    return json + "\n]}";
}

// The game space and its archetypes; music: a silent in-game song at 120 beats per minute,
// ten minutes long, and every other path the match plays (menu song, announcer, sounds).
inline void WriteMatchContent(const TempContent& content)
{
    audio_content::AudioFolder audio(content.root);
    audio.Sound("silence.wav", 8000, 1, audio_content::Constant(800, 1, 0.0f));
    std::string events;
    for (std::string path : {"InGame", "PauseMenu", "Announcer/AlternatingBall", "Announcer/PlatinumBall",
                             "Announcer/RainbowBall", "Match/Swing", "Match/HitPerfect", "Match/HitGreat", "Match/HitGood",
                             "Match/HitOk", "Match/Return", "Match/Miss", "Match/Count", "Match/Go"})
        events += (events.empty() ? "{\"path\": \"event:/" : ",{\"path\": \"event:/") + path +
                  "\", \"tempo\": 120, \"length\": 600, \"tracks\": [{\"sound\": \"silence.wav\"}]}";
    audio.Bank("match.json", events);
    image_test_files::WritePng(content.root / "Textures" / "EmptyCircle.png", 8, 8);  // the timing rings
    image_test_files::WritePng(content.root / "Textures" / "Billboard.png", 16, 12);  // 4 x 3 grade frames
    WriteText(content.root / "Textures" / "Billboard.txt", "{\"data\": [4, 3, 12]}");
    content.SimpleSpace("EndGame", 10.0f);
    content.Space("game", GameSpaceJson());
    content.Archetype("ball.txt", R"({"name": "ball", "archetypeName": "ball",
        "Transform": {"scaleX": 50, "scaleY": 50}, "Sprite": {"imageName": "default.png", "zLayer": 5},
        "RigidBody": {}, "ParticleEmitter": {"spawnsPerMinute": 1200, "lifeTime": 0.3},
        "BeatDivider": {"denominator": 4}, "BehaviorBall": {}})");
    content.Archetype("particle.txt", R"({"name": "particle", "archetypeName": "particle", "Transform": {}, "RigidBody": {}})");
    content.Archetype("MeterNotch.txt", R"({"name": "MeterNotch", "archetypeName": "MeterNotch",
        "Transform": {"scaleX": 12, "scaleY": 20}, "Sprite": {"imageName": "default.png", "zLayer": 2}})");
}

// A headless engine whose first space is the small "game" space above.
class MatchTest : public EngineTest {
protected:
    void PrepareContent() override { WriteMatchContent(content); }
    void SetUp() override
    {
        EngineTest::SetUp();
        RunOptions::Get().firstSpace = "game";
        Start();
        Frames(4);  // entities initialise in the second frame; their own updates start in the fourth
        game = Engine::Get()->FindSpace("game");
        manager = Of<BallManager>("levelLogic");
    }
    template <class C>
    C* Of(const std::string& entity) { return game->RequireEntity(entity)->template Get<C>(); }
    BehaviorMeter* Meter(int number) { return Of<BehaviorMeter>("BeatMeter" + std::to_string(number)); }
    BehaviorPlayer* Player(int number) { return Of<BehaviorPlayer>("Player" + std::to_string(number)); }
    std::vector<BehaviorBall*> Balls()
    {
        std::vector<BehaviorBall*> balls;
        for (const auto& entity : game->Entities())
            if (entity->name == "ball") balls.push_back(entity->Get<BehaviorBall>());
        return balls;
    }
    // One division of the ball manager, with its deferred pass run as a frame would.
    void Division(BeatTime time)
    {
        BeatDivisionEvent division(time, 4, 0);
        manager->OnDivision(division);
        Engine::Get()->events->Update(1e-4f);  // runs the pass queued with delay 0
    }

    Space* game = nullptr;
    BallManager* manager = nullptr;
};

} // namespace testing_content

} // namespace volleyrun
