#include "componentregistry.h"

namespace volleyrun {

namespace {
void (*types)(ComponentRegistry&) = nullptr;  // the program's list of every layer's types
}

ComponentRegistry* ComponentRegistry::Start()
{
    if (Exists()) return Get();
    return Publish(std::unique_ptr<ComponentRegistry>(new ComponentRegistry()));
}

ComponentRegistry::ComponentRegistry()
{
    if (types) types(*this);
}

void ComponentRegistry::SetTypes(void (*registerTypes)(ComponentRegistry&))
{
    types = registerTypes;
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

} // namespace volleyrun
