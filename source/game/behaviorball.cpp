#include "behaviorball.h"

#include "archetypestore.h"
#include "audioengine.h"
#include "ballmanager.h"
#include "behaviormeter.h"
#include "behaviorplayer.h"
#include "endgamelogic.h"
#include "engine.h"
#include "entity.h"
#include "frameclock.h"
#include "gamesettings.h"
#include "matchstats.h"
#include "graphics.h"
#include "input.h"
#include "particleemitter.h"
#include "rigidbody.h"
#include "space.h"
#include "texture.h"
#include "transform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace volleyrun {

namespace {

constexpr float kLaneWidth = 100.0f;    // world units between lanes
constexpr float kWaitingY = 200.0f;     // height of a ball waiting off-stage
constexpr float kWaitingX = 500.0f;
constexpr int32_t kServeLane = 8;       // a served ball starts this many lanes out
constexpr float kRingSize = 50.0f;
constexpr float kMissDelta = -1.0f;
constexpr float kPlatinumMissDelta = -7.5f;
constexpr float kHitReward = 2.0f;
constexpr float kDestroyDelay = 4.0f;   // seconds a lost ball stays

const glm::vec4 kLetterColours[4] = {{0, 255, 0, 1}, {255, 0, 0, 1}, {0, 0, 255, 1}, {255, 255, 0, 1}};  // A B X Y
const glm::vec4 kPlatinumColour(229, 228, 226, 1);
const glm::vec4 kWhite(255, 255, 255, 1);
const glm::vec4 kAlternatingParticles(120.0f / 255.0f, 81.0f / 255.0f, 169.0f / 255.0f, 0.8f);

glm::vec4 Scaled(glm::vec4 rgb255)
{
    return {std::clamp(rgb255.r, 0.0f, 255.0f) / 255.0f, std::clamp(rgb255.g, 0.0f, 255.0f) / 255.0f,
            std::clamp(rgb255.b, 0.0f, 255.0f) / 255.0f, rgb255.a};
}

uint32_t FrameOrZero(Sprite& sprite, int64_t frame)
{
    return frame >= 0 && frame < static_cast<int64_t>(sprite.GetTexture().frameCount) ? static_cast<uint32_t>(frame) : 0;
}

bool Earlier(BeatTime a, BeatTime b)
{
    return a.bar != b.bar ? a.bar < b.bar : a.sixteenth < b.sixteenth;
}

} // namespace

BehaviorBall::BehaviorBall(Entity* owner)
    : ComponentOf(owner), letterOverlay_(nullptr, "Ball_Rainbow.png", 0, 0.0f, glm::vec4(1.0f), false),
      targetRing_(nullptr, "EmptyCircle.png", 0, 0.0f, glm::vec4(1.0f, 1.0f, 1.0f, 0.75f)),
      innerRing_(nullptr, "EmptyCircle.png", 0, 0.0f, glm::vec4(1.0f, 1.0f, 1.0f, 0.75f))
{
    // A new ball aims one beat after the newest beat of the music.
    if (AudioEngine::Exists()) launchTime = AudioEngine::Get()->CurrentTime().AddSixteenths(4);
    launchTime.tick = 0;
}

void BehaviorBall::Initialize()
{
    EventManager* events = &EngineEvents();
    Listen(*events, &BehaviorBall::OnHit);
    Listen(*events, &BehaviorBall::OnUpdate);
    Listen(*owner->events, &BehaviorBall::OnDraw);
    Listen(*owner->events, &BehaviorBall::OnDivision);
    SetUp();
}

BehaviorPlayer* BehaviorBall::Player(int number) const
{
    Entity* player = (number == 0 ? player0_ : player1_).Get();
    return player ? player->Get<BehaviorPlayer>() : nullptr;
}

int32_t BehaviorBall::Spot(int number) const
{
    BehaviorPlayer* player = Player(number);
    return player ? player->position : 0;
}

float BehaviorBall::SixteenthSeconds() const
{
    float tempo = AudioEngine::Get()->Tempo();
    return tempo > 0.0f ? 15.0f / tempo : 0.125f;  // 120 beats per minute until the music says otherwise
}

int32_t BehaviorBall::RandomLetter()
{
    const GameSettings& settings = GameSettings::Get();
    int enabled = settings.aButtonEnabled + settings.bButtonEnabled + settings.xButtonEnabled + settings.yButtonEnabled;
    if (enabled == 0) return 0;
    int r = std::rand() % enabled;
    const bool others[3] = {settings.bButtonEnabled, settings.xButtonEnabled, settings.yButtonEnabled};
    for (int32_t letter = 1; letter <= 3; ++letter) {
        if (!others[letter - 1]) continue;
        if (r == 0) return letter;
        --r;
    }
    return 0;
}

void BehaviorBall::SetUp()
{
    ParticleEmitter* trail = owner->Get<ParticleEmitter>();
    if (trail) trail->enabled = false;
    waiting = true;
    finished = false;
    player0_ = owner->space->FindEntity("Player0") ? owner->space->FindEntity("Player0")->Ref() : EntityRef();
    player1_ = owner->space->FindEntity("Player1") ? owner->space->FindEntity("Player1")->Ref() : EntityRef();

    uint32_t taken = 0;  // bit i: index i is carried by a ball of the space
    for (const auto& entity : owner->space->Entities())
        if (auto* ball = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr)
            if (ball->index < 32) taken |= 1u << ball->index;
    for (index = 0; index < 32 && (taken >> index & 1u); ++index) {}

    if (trail) trail->SetImage("ParticleSoftBall.png");
    const GameSettings& settings = GameSettings::Get();
    if (!settings.aButtonEnabled && !settings.bButtonEnabled && !settings.xButtonEnabled && !settings.yButtonEnabled)
        kind = kRainbow;
    if (kind != kRainbow) {
        owner->Require<Sprite>()->SetImage("Ball_Default.png");
        letterOverlay_.SetImage("Ball_Letters.png");
        letter = RandomLetter();
    }
    if (letter == -1 && trail) trail->SetImage("ParticleStarRainbow.png");
    glm::vec4 colour = kind == kPlatinum ? kPlatinumColour : kind == kRainbow ? kWhite : kLetterColours[std::max(letter, 0)];
    if (trail && kind == kPlatinum) trail->SetImage("ParticleStarShine.png");
    if (trail && kind == kAlternating) trail->SetImage("ParticleBlob.png");
    ApplyColour(colour);

    if (kind == kRainbow && !twin) {
        Entity* partner = ArchetypeStore::Spawn("ball", "ball", *owner->space, false);
        BehaviorBall* ball = partner->Require<BehaviorBall>();
        ball->twin = true;
        InitEvent init;
        partner->OnInit(init);
        ball->serveSide = serveSide ^ 1u;
        ball->launchTime = launchTime;
        ball->index = index;
    }
}

// Colours the ball, its letter, its trail and its rings (channels 0..255).
void BehaviorBall::ApplyColour(glm::vec4 rgb255)
{
    glm::vec4 colour = Scaled(rgb255);
    colour.a = 1.0f;
    owner->Require<Sprite>()->colour = colour;
    if (ParticleEmitter* trail = owner->Get<ParticleEmitter>()) {
        glm::vec4 particles = kind == kAlternating ? kAlternatingParticles : glm::vec4(glm::vec3(colour), 0.8f + 1.0f / 255.0f);
        trail->r = particles.r;
        trail->g = particles.g;
        trail->b = particles.b;
        trail->a = particles.a;
    }
    if (letter != -1) {
        letterOverlay_.colour = kind == kPlatinum ? glm::vec4(0.0f, 0.0f, 0.0f, 1.0f) : colour;
        letterOverlay_.frameIndex = FrameOrZero(letterOverlay_, letter);
        letterOverlay_.visible = true;
    }
    ringColour = colour;
}

void BehaviorBall::OnDivision(BeatDivisionEvent& event)
{
    if (!Player(0) || !Player(1)) return;
    steps += startLane < 0 ? 1 : -1;
    int32_t spot0 = Spot(0), spot1 = Spot(1);
    if (waiting) Launch(event, spot0, spot1);
    bool due = Remaining() == 0 && !finished && !waiting && (GameSettings::autoplay || autoReturn);
    if (due && !BallManager::MatchOver(*owner->space)) {
        // Autoplay swings exactly on the beat; a forced move just sends the ball back.
        BallHitEvent hit(startLane + steps, letter, HeardAt(arrivalTime), !GameSettings::autoplay);
        autoReturn = false;
        Return(hit, 0.0f);
    }
    owner->Require<Transform>()->translation.x = static_cast<float>(startLane + steps) * kLaneWidth;
}

void BehaviorBall::Launch(const BeatDivisionEvent& event, int32_t spot0, int32_t spot1)
{
    int32_t extra = serveSide == 1 ? 8 - spot0 : 8 - spot1;
    BeatTime reach = event.time.AddSixteenths(extra + spot0 + spot1);
    if (Earlier(reach, launchTime)) return;
    waiting = false;
    if (ParticleEmitter* trail = owner->Get<ParticleEmitter>()) trail->enabled = true;
    startLane = serveSide == 1 ? -kServeLane : kServeLane;
    destLane = serveSide == 1 ? spot1 : -spot0;
    steps = 0;
    arrivalTime = event.time.AddSixteenths(std::abs(startLane - destLane));
    arrivalTime.tick = 0;
    float speed = kLaneWidth / SixteenthSeconds();
    owner->Require<RigidBody>()->velocity.x = serveSide == 0 ? -speed : speed;
}

void BehaviorBall::Lose()
{
    Space* space = owner->space;
    bool playerZero = serveSide == 0;
    BehaviorMeter* meter = space->RequireEntity(playerZero ? "BeatMeter1" : "BeatMeter2")->Require<BehaviorMeter>();
    meter->ChangeValue(kind == kPlatinum ? kPlatinumMissDelta : kMissDelta);
    EndGameLogic::EndCheck(*meter, meter->IsLeft(), false);
    finished = true;
    MatchStats::Get().Miss(playerZero ? 0 : 1);
    EngineEvents().Send(BallLostEvent(startLane + steps));
    space->events->Send(DestroyEvent(owner->Ref(), kDestroyDelay));
    Burst("MissEffect_", playerZero ? 0 : 1);
}

void BehaviorBall::Burst(const std::string& prefix, int playerNumber)
{
    BehaviorPlayer* player = Player(playerNumber);
    Entity* spot = player ? player->currentSpot.Get() : nullptr;
    if (!spot) return;
    ParticleEmitter* emitter = owner->space->RequireEntity(prefix + spot->name)->Require<ParticleEmitter>();
    glm::vec3 colour = kind == kRainbow ? glm::vec3(1.0f) : glm::vec3(owner->Require<Sprite>()->colour);
    emitter->Burst(colour, emitter->a);
}

// Seconds from the instant the ball's arrival beat is heard to the instant, by the music
// clock: a pause, the editor or a new device never shifts it. The sound is heard the
// player's audio offset after the clock says it plays. Without music there is no beat.
std::optional<float> BehaviorBall::TimingError(int64_t at) const
{
    auto audio = static_cast<int64_t>(GameSettings::Get().audioOffsetMs * 1e6f);
    std::optional<double> error = AudioEngine::Get()->SecondsFrom(arrivalTime, at - audio);
    return error ? std::optional<float>(static_cast<float>(*error)) : std::nullopt;
}

int64_t BehaviorBall::HeardAt(BeatTime time)
{
    double sixteenths = static_cast<double>(time.bar) * BeatTime::kSixteenthsPerBar + time.sixteenth;
    std::optional<int64_t> at = AudioEngine::Get()->Music().InstantOf(sixteenths);
    return at ? *at : FrameClock::Get()->Now();
}

// Given up once no press of its receiver can be in time any more: every press up to the
// instant the input has been read is judged, taking off the larger of his two latencies.
bool BehaviorBall::PastLateEdge() const
{
    const auto& offsets = GameSettings::Get().inputOffsetMs[serveSide == 1 ? 1 : 0];
    auto latency = static_cast<int64_t>(std::max(offsets[0], offsets[1]) * 1e6f);
    std::optional<float> error = TimingError(Input::Get()->SeenUpTo() - latency);
    return error && *error > kHitWindow;
}

bool BehaviorBall::ButtonMatches(int32_t button) const
{
    return letter == -1 || letter == button;
}

// Offers the ball to the swing: the swing returns the ball in time nearest to it.
void BehaviorBall::OnHit(BallHitEvent& event)
{
    bool fromOtherSide = (startLane < 0) != (event.lane < 0);
    if (BallManager::MatchOver(*owner->space) || finished || waiting || !fromOtherSide || !ButtonMatches(event.button)) return;
    std::optional<float> error = TimingError(event.at);
    if (!error || !(std::abs(*error) <= kHitWindow)) return;
    if (event.nearest && !(std::abs(*error) < std::abs(event.error))) return;
    event.nearest = this;
    event.error = *error;
}

void BehaviorBall::Return(const BallHitEvent& event, float error)
{
    if (kind == kAlternating) {
        letter = RandomLetter();
        ApplyColour(kLetterColours[letter]);
    }
    serveSide ^= 1u;
    int32_t oldRemaining = Remaining();
    startLane = event.lane;
    previousArrival = arrivalTime;
    steps = -oldRemaining;  // an early or late hit stays on the sixteenth grid
    bool playerZero = event.lane < 0;
    destLane = playerZero ? Spot(1) : -Spot(0);
    if (event.forced) EngineEvents().Send(BallReturnedEvent(playerZero ? 0 : 1, -1, 0.0f));
    else Reward(playerZero, error);
    arrivalTime = arrivalTime.AddSixteenths(std::abs(event.lane - destLane));
    arrivalTime.tick = 0;
    Transform* transform = owner->Require<Transform>();
    transform->translation.x = static_cast<float>(event.lane) * kLaneWidth;
    transform->scale.x = -transform->scale.x;  // the ball faces the other way
    float speed = kLaneWidth / SixteenthSeconds();
    owner->Require<RigidBody>()->velocity.x = event.lane > 0 ? -speed : speed;
    Burst("HitEffect_", playerZero ? 0 : 1);
}

// The hitter's meter fills by how well he timed it: the best grade earns the whole
// reward, the widest a quarter of it.
void BehaviorBall::Reward(bool playerZero, float error)
{
    int grade = MatchStats::GradeOf(error);
    MatchStats::Get().Hit(playerZero ? 0 : 1, grade, error);
    EngineEvents().Send(BallReturnedEvent(playerZero ? 0 : 1, grade, error));
    BehaviorMeter* meter = owner->space->RequireEntity(playerZero ? "BeatMeter1" : "BeatMeter2")->Require<BehaviorMeter>();
    meter->RaiseNotches();
    meter->ChangeValue(kHitReward * static_cast<float>(MatchStats::kGrades - grade) / MatchStats::kGrades);
    EndGameLogic::EndCheck(*meter, meter->IsLeft(), false);
}

void BehaviorBall::MoveBack(int32_t lanes)
{
    startLane += startLane < 0 ? -lanes : lanes;
    arrivalTime = arrivalTime.AddSixteenths(lanes);
    previousArrival = previousArrival.AddSixteenths(lanes);
}

float BehaviorBall::Progress(bool clamp) const
{
    int32_t span = std::abs(destLane - startLane);
    if (!Player(0) || !Player(1) || span == 0) return 0.0f;
    float x = owner->Require<Transform>()->translation.x / kLaneWidth;
    float remaining = static_cast<float>(Remaining());
    float progress = startLane < 0 ? 1.0f + (x - std::floor(x) + remaining) / static_cast<float>(span)
                                   : 1.0f - (x - std::ceil(x) + remaining) / static_cast<float>(span);
    return clamp ? std::clamp(progress, 0.0f, 1.0f) : progress;
}

float BehaviorBall::SpotY(int32_t lane) const
{
    std::string name = (lane < 0 ? "Player0Pos" : "Player1Pos") + std::to_string(std::abs(lane));
    Entity* spot = owner->space->FindEntity(name);
    Transform* transform = spot ? spot->Get<Transform>() : nullptr;
    return transform ? transform->GetWorldPosition().y : kWaitingY;  // off-stage lanes: the waiting height
}

void BehaviorBall::FollowArc()
{
    Transform* transform = owner->Require<Transform>();
    float span = static_cast<float>(std::abs(destLane - startLane));
    if (std::abs(startLane + steps) <= std::abs(destLane)) {
        float stop = static_cast<float>(destLane) * kLaneWidth;
        float& x = transform->translation.x;
        x = startLane < 0 ? std::min(x, stop) : std::max(x, stop);
    }
    float progress = Progress(true);
    float p = progress * span;
    float arc = 9.8f * p * (span - p) * (static_cast<float>(index) + 10.0f) / 10.0f;
    transform->translation.y = arc + SpotY(startLane) + (SpotY(destLane) - SpotY(startLane)) * progress;
}

void BehaviorBall::StepFrames(float dt)
{
    Sprite* sprite = owner->Require<Sprite>();
    int64_t count = sprite->GetTexture().frameCount;
    frameTimer += dt;
    while (frameTimer > frameInterval) {
        frameTimer -= frameInterval;
        int64_t frame = sprite->frameIndex;
        if (frame >= 3 && frame <= 7) {
            sprite->frameIndex = frame + 1 >= count ? 0 : static_cast<uint32_t>(frame + 1);
            continue;
        }
        float q = Progress(true);
        float shape = 12.5f * std::pow(q, 4.0f) - 5.0f * std::pow(q, 5.0f) - 7.0f * q * q * q - 2.0f * q * q + 2.5f * q;
        int64_t next = static_cast<int64_t>(static_cast<float>(count - 4) * shape + 7.0f) % std::max<int64_t>(count, 1);
        sprite->frameIndex = FrameOrZero(*sprite, next);
    }
}

void BehaviorBall::OnUpdate(UpdateEvent& event)
{
    if (!finished && !waiting && !owner->space->paused && PastLateEdge()) Lose();
    if (waiting) {
        owner->Require<Transform>()->translation = {serveSide == 1 ? -kWaitingX : kWaitingX, kWaitingY};
    } else {
        FollowArc();
    }
    StepFrames(event.dt);
}

// Unfinished balls with this serve side that reach their receiver before this one.
int BehaviorBall::NearerBalls() const
{
    BeatTime mine = waiting ? launchTime : arrivalTime;
    int count = 0;
    for (const auto& entity : owner->space->Entities()) {
        auto* other = entity->name == "ball" ? entity->Get<BehaviorBall>() : nullptr;
        if (!other || other == this || other->finished || other->serveSide != serveSide) continue;
        BeatTime theirs = other->waiting ? other->launchTime : other->arrivalTime;
        if (Earlier(theirs, mine) || (theirs == mine && other->index < index)) ++count;
    }
    return count;
}

// How far the closing ring has come, 0 at the start of the flight and 1 when it meets the
// spot: by the music clock, so that it meets the spot as the arrival beat is heard, seen the
// player's visual delay later. Without music, by the flight so far.
float BehaviorBall::RingProgress() const
{
    if (waiting) return 0.0f;
    auto seenLate = static_cast<int64_t>(GameSettings::Get().visualOffsetMs * 1e6f);
    std::optional<float> error = TimingError(FrameClock::Get()->Now() + seenLate);
    float flight = static_cast<float>(std::abs(destLane - startLane)) * SixteenthSeconds();
    if (!error || flight <= 0.0f) return Progress(true);
    return std::clamp(1.0f + *error / flight, 0.0f, 1.0f);
}

void BehaviorBall::DrawAt(Sprite& sprite, glm::vec2 position, glm::vec2 size, glm::vec4 colour)
{
    glm::mat3 world(size.x, 0.0f, 0.0f, 0.0f, size.y, 0.0f, position.x, position.y, 1.0f);
    sprite.Draw(world, colour);
}

void BehaviorBall::OnDraw(DrawEvent&)
{
    owner->events->SetHeld(kBeatDivisionEvent, owner->space->paused);
    if (finished) return;
    int nearer = NearerBalls();
    float shrink = std::pow(0.65f, static_cast<float>(nearer));
    float p = RingProgress();
    int32_t receiverLane = serveSide == 1 ? Spot(1) : -Spot(0);
    glm::vec2 spot(static_cast<float>(receiverLane) * kLaneWidth, SpotY(receiverLane));
    if (nearer == 0) DrawAt(innerRing_, spot, glm::vec2(kRingSize), ringColour);
    if (letterOverlay_.visible) {
        float shift = (1.0f - shrink) / 0.35f * 25.0f;
        glm::vec2 preview(spot.x + (spot.x < 0.0f ? shift : -shift), spot.y + shift);
        DrawAt(letterOverlay_, preview, glm::vec2(kRingSize * shrink), letterOverlay_.colour);
    }
    // Rings of balls behind the nearest fade as their letters shrink, so that the ring to
    // hit now stands out where several close on one spot.
    glm::vec4 ring(glm::vec3(ringColour), ringColour.a * shrink);
    if (!(nearer > 0 && p == 0.0f)) DrawAt(targetRing_, spot, glm::vec2(kRingSize * (1.0f + 2.5f * (1.0f - p * p))), ring);
    if (letterOverlay_.visible)
        letterOverlay_.Draw(owner->Require<Transform>()->GetMatrix(), letterOverlay_.colour);
}

} // namespace volleyrun
