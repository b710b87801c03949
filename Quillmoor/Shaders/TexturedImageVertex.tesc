#version 330 core
// Sprites, glyphs and particles: the unit quad in clip space and the frame's texture
// coordinates. The quad's coordinates span the first frame; uvScale stretches them to
// this frame's size and uv moves them onto it. v counts upward from the bottom of the
// image, while images are stored top row first, hence 1 - v.
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
