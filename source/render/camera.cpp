#include "camera.h"

#include <glm/gtc/matrix_transform.hpp>

#include <memory>

namespace volleyrun {

Camera* Camera::Start()
{
    if (Exists()) return Get();
    return Publish(std::unique_ptr<Camera>(new Camera()));
}

const glm::mat4& Camera::GetView()
{
    if (viewDirty_) {
        viewDirty_ = false;
        ++viewBuilds;
        view_ = glm::lookAtRH(glm::vec3(x_, y_, z_), glm::vec3(x_, y_, z_ - 1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    }
    return view_;
}

const glm::mat4& Camera::GetProjection()
{
    if (projectionDirty_) {
        projectionDirty_ = false;
        ++projectionBuilds;
        projection_ = glm::orthoRH_NO(-0.5f * kViewWidth * zoom_, 0.5f * kViewWidth * zoom_, -0.5f * kViewHeight * zoom_,
                                      0.5f * kViewHeight * zoom_, near_, far_);
    }
    return projection_;
}

const glm::mat4& Camera::GetViewProjection()
{
    if (viewProjectionDirty_) {
        viewProjectionDirty_ = false;
        viewProjection_ = GetProjection() * GetView();
    }
    return viewProjection_;
}

void Camera::SetPosition(float newX, float newY, float newZ)
{
    x_ = newX;
    y_ = newY;
    z_ = newZ;
    viewDirty_ = true;
    viewProjectionDirty_ = true;
}

void Camera::SetZoom(float newZoom)
{
    zoom_ = newZoom;
    projectionDirty_ = true;
    viewProjectionDirty_ = true;
}

} // namespace volleyrun
