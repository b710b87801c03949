#include "componentregistry.h"

#include "sprite.h"
#include "spritetext.h"
#include "stub.h"
#include "transform.h"

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
    Register("Sprite", std::make_unique<Sprite>(nullptr, "TestingLines.png", 0, 0.0f, glm::vec4(1.0f), true));
    Register("SpriteText", std::make_unique<SpriteText>(nullptr, "Spritetext!", 1.0f, 0, 37.0f));
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
