#version 330 core
// Debug outlines: the unit quad through the world matrix (screen scale applied), then
// the camera.
layout(location = 0) in vec2 position;

uniform mat3 transform;
uniform mat4 view;
uniform mat4 projection;

void main()
{
    vec3 world = transform * vec3(position, 1.0);
    gl_Position = projection * view * vec4(world.xy, 0.0, 1.0);
}
