// Service<T>: the one instance of a process-wide service (the frame clock, the trace, input,
// the window, the component registry, the archetype store, the camera, the texture table,
// the graphics, the audio engine). The engine's start-up makes them in one ordered list, each with its
// class's own Start (which returns the instance already started, if any: a test may prepare
// one before the engine starts), and its teardown destroys them in the reverse order; tests
// start what they use. Get never creates: a service asked for before its start throws,
// naming it.
// Start, Exists and Destroy on the game thread; Get on the threads the class allows.
#pragma once

#include "gameerror.h"

#include <memory>
#include <string>

namespace volleyrun {

template <class T>
class Service {
public:
    static T* Get()
    {
        if (!instance_) [[unlikely]]
            throw GameError(std::string(T::kServiceName) + " is asked for before it was started");
        return instance_.get();
    }
    static bool Exists() { return instance_ != nullptr; }
    static void Destroy() { instance_.reset(); }

protected:
    // Publishes a new instance before the class finishes starting it, so that code its
    // start-up reaches may already ask for it. Only the class's Start calls it.
    static T* Publish(std::unique_ptr<T> made)
    {
        instance_ = std::move(made);
        return instance_.get();
    }

private:
    inline static std::unique_ptr<T> instance_;
};

} // namespace volleyrun
