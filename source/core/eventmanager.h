// EventManager: typed listener lists and a queue of delayed events. Three levels exist:
// the engine-wide manager (owned by Engine), one per Space and one per Entity. Each owner
// calls Update once per frame (Engine at the end of the frame, a space or an entity when
// its UpdateEvent arrives); that is the one point where pending listeners become active
// and queued events are delivered. Game thread only.
//
// Handlers may add or remove listeners and send events while a walk is running. Added
// listeners stay pending until the next Update. A removed listener is never called again;
// its slot is left empty until the outermost walk ends, so the walk neither reads freed
// memory nor skips the listeners behind it.
#pragma once

#include "delayqueue.h"
#include "event.h"
#include "retirement.h"

#include <array>
#include <memory>
#include <type_traits>
#include <vector>

namespace volleyrun {

class EventManager {
public:
    class ListenerBase {
    public:
        explicit ListenerBase(const void* ownerKey) : key(ownerKey) {}
        virtual ~ListenerBase() = default;
        virtual void Invoke(Event& event) = 0;

        bool pending = true;  // true from registration until the manager's next Update
        const void* key;      // the owner, as RemoveListener compares it
    };

    template <class Owner, class Ev>
    class Listener final : public ListenerBase {
    public:
        using Handler = void (Owner::*)(Ev&);
        Listener(Owner* listenerOwner, Handler memberHandler)
            : ListenerBase(listenerOwner), owner(listenerOwner), handler(memberHandler) {}
        // The manager indexes lists by Ev::kType, so the cast always names the right class.
        void Invoke(Event& event) override { (owner->*handler)(static_cast<Ev&>(event)); }

        Owner* owner;  // not owned
        Handler handler;
    };

    EventManager() = default;
    EventManager(const EventManager&) = delete;
    EventManager& operator=(const EventManager&) = delete;
    ~EventManager();  // deletes listeners and queued events without delivering them

    template <class Owner, class Ev>
    void AddListener(Owner* owner, void (Owner::*handler)(Ev&))
    {
        listeners_[Ev::kType].push_back(std::make_unique<Listener<Owner, Ev>>(owner, handler));
        ++pendingCount_;
    }

    // Removes the first listener of Ev's type registered by owner; nothing if there is none.
    template <class Ev>
    void RemoveListener(const void* owner) { RemoveListener(owner, Ev::kType); }
    void RemoveListener(const void* owner, int type);

    // Delay kSendNow on a type that is not held: delivered now. Held: queued with delay 0.
    // Any other delay: a copy is queued and delivered once the delay has run below zero.
    template <class E>
        requires std::is_base_of_v<Event, std::remove_cvref_t<E>>
    void Send(E&& event)
    {
        if (event.delay == kSendNow) {
            if (!held_[event.type]) {
                Dispatch(event);
                return;
            }
            event.delay = 0.0f;
        }
        queue_.Emplace(std::forward<E>(event));
    }

    void SetHeld(int type, bool held) { held_[type] = held; }
    bool IsHeld(int type) const { return held_[type]; }

    void Dispatch(Event& event);
    void Enqueue(std::unique_ptr<Event> event);
    void Update(float dt);

    // True while this manager is delivering: its owner must not be freed until it ends.
    bool Busy() const { return depth_ > 0; }
    size_t QueuedCount() const { return queue_.Size(); }
    size_t ListenerCount(int type) const;  // registered and not removed, pending included

private:
    class WalkScope;
    void ActivatePending();
    void EndWalk();

    std::array<bool, kEventTypeCount> held_{};
    std::array<std::vector<std::unique_ptr<ListenerBase>>, kEventTypeCount> listeners_;
    DelayQueue queue_;
    int pendingCount_ = 0;
    int depth_ = 0;  // dispatches and updates running on this manager
    Retirement<ListenerBase> retired_;  // removed during a walk
};

} // namespace volleyrun
