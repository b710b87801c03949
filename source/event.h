// Event records: the base every event derives from, the table of type ids, and the
// events the engine core sends. Events are plain values: a queued event is a copy owned
// by an EventManager until it is delivered. Later subsystems add their own event classes
// here, one id each, so the id table stays in one place.
#pragma once

#include "entityref.h"

#include <functional>
#include <string>

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
    kEventTypeCount = 27,
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

class DevMessageEvent : public EventOf<kDevMessageEvent> {
public:
    explicit DevMessageEvent(std::string message, float eventDelay = kSendNow)
        : EventOf(eventDelay), text(std::move(message)) {}
    std::string text;
};

class DestroySpaceEvent : public EventOf<kDestroySpaceEvent> {
public:
    explicit DestroySpaceEvent(Space* target, float eventDelay = kSendNow)
        : EventOf(eventDelay), space(target) {}
    Space* space;  // compared against the live list before use, never dereferenced blindly
};

class CreateSpaceEvent : public EventOf<kCreateSpaceEvent> {
public:
    explicit CreateSpaceEvent(std::string spaceName, float eventDelay = kSendNow)
        : EventOf(eventDelay), name(std::move(spaceName)) {}
    std::string name;
};

class TextEvent : public EventOf<kTextEvent> {
public:
    explicit TextEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

class TextTypedEvent : public EventOf<kTextTypedEvent> {
public:
    explicit TextTypedEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
};

class KeyUpdateEvent : public EventOf<kKeyUpdateEvent> {
public:
    explicit KeyUpdateEvent(float eventDelay = kSendNow) : EventOf(eventDelay) {}
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
