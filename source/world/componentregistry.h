// ComponentRegistry: the prototype of every component class under its class name. Started by
// the engine before the archetype store (every entity read asks it), filled by the function
// the program named with SetTypes (each layer registers its own types), and destroyed right
// after the archetype store. Its key order, ascending byte
// order of the names, is the order in which an entity's JSON members are read and written.
// Game thread only.
#pragma once

#include "component.h"
#include "service.h"

#include <map>
#include <memory>
#include <string>

namespace volleyrun {

class ComponentRegistry : public Service<ComponentRegistry> {
public:
    static constexpr const char* kServiceName = "the component registry";

    static ComponentRegistry* Start();
    // The function that fills every registry built from now on: the program's list of
    // every layer's types, given once at the start of main (and of each test program).
    static void SetTypes(void (*registerTypes)(ComponentRegistry& registry));

    // A name registered twice keeps the later prototype.
    void Register(const std::string& name, std::unique_ptr<Component> prototype);
    const Component* Find(const std::string& name) const;  // null when not registered
    // The registered name of a component type, or empty.
    const std::string& NameOf(int type) const;

    // Visits (name, prototype) in iteration order.
    template <class Visit>
    void ForEach(Visit&& visit) const
    {
        for (const auto& [name, prototype] : prototypes_) visit(name, *prototype);
    }

private:
    ComponentRegistry();
    std::map<std::string, std::unique_ptr<Component>> prototypes_;
};

} // namespace volleyrun
