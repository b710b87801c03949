#include "graphics.h"

#include <memory>

namespace {
std::unique_ptr<Graphics> instance;
}

Graphics* Graphics::Get()
{
    if (!instance) instance.reset(new Graphics());
    return instance.get();
}

void Graphics::Destroy()
{
    instance.reset();
}
