// Camera: the view and orthographic projection every draw multiplies by. One instance,
// started by the engine before the graphics; the level logic moves and zooms it, Graphics::OnResize marks the
// projection stale, and the draw operations read both matrices, recomputed only after a
// change. Destroyed at engine teardown, so a new engine starts from the initial camera.
// Game thread only.
#pragma once

#include "service.h"

#include <glm/mat4x4.hpp>

namespace volleyrun {

class Camera : public Service<Camera> {
public:
    static constexpr const char* kServiceName = "the camera";
    // The visible area at zoom 1, in screen-scaled units, whatever the window's size.
    static constexpr float kViewWidth = 1600.0f;
    static constexpr float kViewHeight = 800.0f;

    static Camera* Start();

    const glm::mat4& GetView();
    const glm::mat4& GetProjection();
    // projection x view, rebuilt only after either of them changed.
    const glm::mat4& GetViewProjection();
    void SetPosition(float newX, float newY, float newZ);
    void SetZoom(float newZoom);
    float Zoom() const { return zoom_; }

    // How many times each matrix was rebuilt: tests check that only stale ones are.
    int viewBuilds = 0;
    int projectionBuilds = 0;

private:
    Camera() = default;

    float x_ = 0.0f, y_ = 0.0f, z_ = -0.5f;  // position, in screen-scaled world units
    bool viewDirty_ = true;
    bool projectionDirty_ = true;
    glm::mat4 view_{1.0f};
    glm::mat4 projection_{1.0f};
    glm::mat4 viewProjection_{1.0f};
    bool viewProjectionDirty_ = true;
    float zoom_ = 2.0f;  // the visible area is kViewWidth x kViewHeight times zoom
    float near_ = -1.0f;
    float far_ = 100.0f;
};

} // namespace volleyrun
