#version 330 core
// Sprites, glyphs and particles, drawn in batches: each corner arrives already in clip
// space with its final texture coordinate on the sheet (v counted down from its top row)
// and its draw's colour.
layout(location = 0) in vec4 position;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 tint;

out vec2 frameCoord;
out vec4 rgba;

void main()
{
    gl_Position = position;
    frameCoord = texCoord;
    rgba = tint;
}
