// Event records: the base every event derives from, the table of type ids, and the
// events the engine core sends. Events are plain values: a queued event is a copy owned
// by an EventManager until it is delivered. Later subsystems add their own event classes
// here, one id each, so the id table stays in one place.
#pragma once

#include "beattime.h"
#include "entityref.h"
#include "spaceref.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace volleyrun {

class BehaviorBall;
class Space;

enum EventType : int {
    kUpdateEvent = 0,
    kDrawEvent = 1,
    kAnimateEvent = 3,
    kTraceEvent = 4,
    kDestroyEvent = 5,
    kPlaySoundEvent = 7,
    kPauseSoundEvent = 8,
    kSyncSoundEvent = 9,
    kParameterChangeEvent = 10,
    kBeatEvent = 11,
    kBeatDivisionEvent = 12,
    kDevMessageEvent = 13,
    kDestroySpaceEvent = 14,
    kTriggerEvent = 15,
    kCreateSpaceEvent = 16,
    kTextEvent = 17,
    kBallHitEvent = 18,
    kTextTypedEvent = 19,
    kKeyUpdateEvent = 20,
    kInitEvent = 21,
    kMapEditorSelectedEvent = 22,
    kLambdaEvent = 24,
    kBallLostEvent = 25,
    kBeatMeterThreshold = 26,
    kSwingEvent = 27,
    kBallReturnedEvent = 28,
    kPressEvent = 29,
    kSpaceHeldEvent = 30,
    kEventTypeCount = 31,
};

// Sentinel delay: deliver at once instead of queueing.
inline constexpr float kSendNow = -1.0f;

class Event {
public:
    float delay;           // seconds left in the queue; kSendNow = immediate delivery
    bool handled = false;  // a listener sets it to stop delivery to the listeners after it
    int type;              // fixed by the class; indexes the manager's listener lists

    virtual ~Event() = default;

protected:
    Event(int eventType, float eventDelay) : delay(eventDelay), type(eventType) {}
    Event(const Event&) = default;
    Event& operator=(const Event&) = default;
};

// Each class names its id once, so managers index by Ev::kType without a run-time lookup.
template <int Id>
class EventOf : public Event {
public:
    static constexpr int kType = Id;

protected:
    explicit EventOf(float eventDelay) : Event(Id, eventDelay) {}
};

class UpdateEvent : public EventOf<kUpdateEvent> {
public:
    UpdateEvent(float frameDt, float engineTime, float eventDelay = kSendNow)
        : EventOf(eventDelay), dt(frameDt), time(engineTime) {}
    float dt;    // seconds of this frame
    float time;  // engine time after adding dt
};

class DrawEvent : public EventOf<kDrawEvent> {
public:
    explicit DrawEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

class AnimateEvent : public EventOf<kAnimateEvent> {
public:
    explicit AnimateEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

class TraceEvent : public EventOf<kTraceEvent> {
public:
    explicit TraceEvent(std::string message, float eventDelay = kSendNow)
        : EventOf(eventDelay), text(std::move(message)) {}
    std::string text;
};

class DestroyEvent : public EventOf<kDestroyEvent> {
public:
    explicit DestroyEvent(EntityRef target, float eventDelay = kSendNow)
        : EventOf(eventDelay), entity(std::move(target)) {}
    EntityRef entity;  // null by delivery time when the entity already went another way
};

// Parameter values for a sound, applied in list order: (parameter name, value).
using SoundParameters = std::vector<std::pair<std::string, float>>;

// Sounds are named by their event path ("event:/InGame"); the same path names the same
// tracked instance wherever it is sent from.
class PlaySoundEvent : public EventOf<kPlaySoundEvent> {
public:
    PlaySoundEvent(std::string soundPath, bool keep, SoundParameters values = {}, float eventDelay = kSendNow)
        : EventOf(eventDelay), path(std::move(soundPath)), keepInstance(keep), parameters(std::move(values)) {}
    std::string path;
    bool keepInstance;  // track the instance even when the sound is a one-shot
    SoundParameters parameters;
};

class PauseSoundEvent : public EventOf<kPauseSoundEvent> {
public:
    PauseSoundEvent(std::string soundPath, bool pause, float eventDelay = kSendNow)
        : EventOf(eventDelay), path(std::move(soundPath)), paused(pause) {}
    std::string path;
    bool paused;  // true pauses, false resumes
};

// Moves the instance of path to the timeline position of the instance of sourcePath.
class SyncSoundEvent : public EventOf<kSyncSoundEvent> {
public:
    SyncSoundEvent(std::string soundPath, std::string source, float eventDelay = kSendNow)
        : EventOf(eventDelay), path(std::move(soundPath)), sourcePath(std::move(source)) {}
    std::string path;
    std::string sourcePath;
};

class ParameterChangeEvent : public EventOf<kParameterChangeEvent> {
public:
    ParameterChangeEvent(std::string soundPath, SoundParameters values, float eventDelay = kSendNow)
        : EventOf(eventDelay), path(std::move(soundPath)), parameters(std::move(values)) {}
    std::string path;
    SoundParameters parameters;
    bool appliedInMix = false;  // the mixer already set it, at its beat or marker: not set again
};

// One musical beat of the in-game music, sent by the audio engine on the game thread.
class BeatEvent : public EventOf<kBeatEvent> {
public:
    BeatEvent(BeatTime beatTime, float beatTempo, float eventDelay = kSendNow)
        : EventOf(eventDelay), time(beatTime), tempo(beatTempo) {}
    BeatTime time;
    float tempo;  // beats per minute
};

// One division of a beat, sent by a BeatDivider to its own entity's manager.
class BeatDivisionEvent : public EventOf<kBeatDivisionEvent> {
public:
    BeatDivisionEvent(BeatTime divisionTime, uint32_t count, uint32_t index, float eventDelay = kSendNow)
        : EventOf(eventDelay), time(divisionTime), divisionCount(count), divisionIndex(index) {}
    BeatTime time;           // musical position of this division; tick 0
    uint32_t divisionCount;  // divisions in this group
    uint32_t divisionIndex;  // 0 .. divisionCount - 1, in sending order
};

// A swing: lane is the hitter's lane (-spot for player 0, +spot for player 1). Every ball
// it could return offers itself; the one nearest in time stays in nearest, and the
// swinging player returns it.
class BallHitEvent : public EventOf<kBallHitEvent> {
public:
    BallHitEvent(int32_t hitLane, int32_t hitButton, int64_t hitAt, bool hitForced = false)
        : EventOf(kSendNow), lane(hitLane), button(hitButton), at(hitAt), forced(hitForced) {}
    int32_t lane;
    int32_t button;         // the letter swung: 0 A, 1 B, 2 X, 3 Y
    int64_t at;             // when the swing happened, the player's input latency taken off
    bool forced;                      // a forced move returns the ball: no grade, no reward
    BehaviorBall* nearest = nullptr;  // the ball in time nearest the swing
    float error = 0.0f;               // its timing error in seconds, negative early
};

class BallLostEvent : public EventOf<kBallLostEvent> {
public:
    explicit BallLostEvent(int32_t lostLane, float eventDelay = kSendNow) : EventOf(eventDelay), lane(lostLane) {}
    int32_t lane;  // where the ball was judged lost; >= 0 means player 1 missed
};

// A player swung (sent once per swing, before any ball judges it).
class SwingEvent : public EventOf<kSwingEvent> {
public:
    SwingEvent(int32_t swingPlayer, int32_t swingLetter, float eventDelay = kSendNow)
        : EventOf(eventDelay), player(swingPlayer), letter(swingLetter) {}
    int32_t player;  // 0 left, 1 right
    int32_t letter;  // 0 A, 1 B, 2 X, 3 Y
};

// A ball went back across the net: hit by player (grade 0 best .. 3, error in seconds,
// negative early) or returned by a forced move (grade -1, no error).
class BallReturnedEvent : public EventOf<kBallReturnedEvent> {
public:
    BallReturnedEvent(int32_t hitPlayer, int32_t hitGrade, float hitError, float eventDelay = kSendNow)
        : EventOf(eventDelay), player(hitPlayer), grade(hitGrade), error(hitError) {}
    int32_t player;
    int32_t grade;
    float error;
};

// A beat meter passed into its second (level 1) or third (level 2) segment for the first time.
class BeatMeterThreshold : public EventOf<kBeatMeterThreshold> {
public:
    BeatMeterThreshold(int32_t thresholdLevel, int32_t leftMeter, float eventDelay = kSendNow)
        : EventOf(eventDelay), level(thresholdLevel), left(leftMeter) {}
    int32_t level;
    int32_t left;  // 1 for the meter left of the middle
};

// A named signal between interface pieces ("mouse", "button", "buttonHovered", ...).
class TriggerEvent : public EventOf<kTriggerEvent> {
public:
    TriggerEvent(int32_t triggerState, std::string triggerName, EntityRef triggerSender, float eventDelay = kSendNow)
        : EventOf(eventDelay), name(std::move(triggerName)), sender(std::move(triggerSender)), state(triggerState) {}
    std::string name;
    EntityRef sender;  // the entity the trigger is about; may be null
    int32_t state;     // "mouse": 0 entered, 1 left, 2 over; 0 for "button"
};

// The entity under the cursor in a space (null: none), sent to the space's manager every
// update of its hit test; the map editor selects with it.
class MapEditorSelectedEvent : public EventOf<kMapEditorSelectedEvent> {
public:
    explicit MapEditorSelectedEvent(EntityRef hovered, float eventDelay = kSendNow)
        : EventOf(eventDelay), entity(std::move(hovered)) {}
    EntityRef entity;
};

class DevMessageEvent : public EventOf<kDevMessageEvent> {
public:
    explicit DevMessageEvent(std::string message, float eventDelay = kSendNow)
        : EventOf(eventDelay), text(std::move(message)) {}
    std::string text;
};

// The map editor has stopped a space to edit it (held) or given it back, on the engine-wide
// manager just after Hold or Release: the game decides what its music does meanwhile.
class SpaceHeldEvent : public EventOf<kSpaceHeldEvent> {
public:
    SpaceHeldEvent(SpaceRef target, bool isHeld) : EventOf(kSendNow), space(std::move(target)), held(isHeld) {}
    SpaceRef space;
    bool held;
};

class DestroySpaceEvent : public EventOf<kDestroySpaceEvent> {
public:
    // target must be live (or null) now; the event may outlive it. Defined with Space.
    explicit DestroySpaceEvent(Space* target, float eventDelay = kSendNow);
    SpaceRef space;  // null once the space is freed; compared against the live list before use
};

class CreateSpaceEvent : public EventOf<kCreateSpaceEvent> {
public:
    explicit CreateSpaceEvent(std::string spaceName, float eventDelay = kSendNow)
        : EventOf(eventDelay), name(std::move(spaceName)) {}
    std::string name;
};

// New text for the SpriteText of the entity it is sent to.
class TextEvent : public EventOf<kTextEvent> {
public:
    explicit TextEvent(std::string newText, float eventDelay = kSendNow) : EventOf(eventDelay), text(std::move(newText)) {}
    std::string text;
};

class TextTypedEvent : public EventOf<kTextTypedEvent> {
public:
    explicit TextTypedEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

class KeyUpdateEvent : public EventOf<kKeyUpdateEvent> {
public:
    explicit KeyUpdateEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

// A key, mouse button or pad button went down, with the instant it happened (steady-clock
// nanoseconds, the clock of FrameClock::Now). Delivered once per press, in the order the
// presses happened, after every earlier press: what judges timing listens to these.
class PressEvent : public EventOf<kPressEvent> {
public:
    enum Device : int32_t { kKeyboard = 0, kPad = 1, kMouse = 2 };
    PressEvent(Device pressDevice, int32_t pressJoystick, int32_t pressCode, int64_t pressAt)
        : EventOf(kSendNow), device(pressDevice), joystick(pressJoystick), code(pressCode), at(pressAt) {}
    Device device;
    int32_t joystick;  // the pad's number; 0 for keys and mouse buttons
    int32_t code;      // key code, mouse button, or the pad layout's button
    int64_t at;
};

class InitEvent : public EventOf<kInitEvent> {
public:
    explicit InitEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

// Runs its action when delivered; never reaches listeners.
class LambdaEvent : public EventOf<kLambdaEvent> {
public:
    LambdaEvent(std::function<void()> action, float eventDelay)
        : EventOf(eventDelay), callable(std::move(action)) {}
    std::function<void()> callable;
};

} // namespace volleyrun
