#version 330 core
// The textured interface, for images that cycle through the colours.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texCoord;

uniform mat4 transform;
uniform vec2 uv;
uniform vec2 uvScale;

out vec2 frameCoord;

void main()
{
    gl_Position = transform * vec4(position, 0.0, 1.0);
    vec2 t = texCoord * uvScale + uv;
    frameCoord = vec2(t.x, 1.0 - t.y);
}
