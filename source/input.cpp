#include "input.h"

#include <memory>

namespace {
std::unique_ptr<Input> instance;
}

Input* Input::Get()
{
    if (!instance) instance.reset(new Input());
    return instance.get();
}

void Input::Destroy()
{
    instance.reset();
}

Input::Input()
{
    keys_.fill(kKeyUp);
}

void Input::Poll()
{
}

void Input::EndFrame()
{
    for (int& state : keys_) {
        if (state == kKeyReleased) state = kKeyUp;
        else if (state == kKeyPressed) state = kKeyHeld;
    }
}
