// Graphics: the window, the GL context and the draw operations. This build runs headless
// only: there is no window, draw calls do nothing and the window is never minimised.
// Created first during engine start-up and destroyed right after the spaces.
// Game thread only.
#pragma once

#include <glm/mat3x3.hpp>
#include <glm/vec4.hpp>

class Sprite;
class Transform;

class Graphics {
public:
    static Graphics* Get();
    static void Destroy();

    void UpdateMinimized() {}
    void ToggleFullscreen() {}
    void SwapBuffers() {}
    void PollEvents() {}
    void DrawSprite(const glm::mat3&, Sprite&, glm::vec4) {}
    void DrawOutline(Transform&) {}

    bool minimized = false;

private:
    Graphics() = default;
};
