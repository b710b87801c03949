#version 330 core
// Sprites, glyphs and particles, drawn in batches: each corner arrives already in clip
// space with its final texture coordinate (v counted down from the image's top row),
// its draw's colour and the texture unit holding its image.
layout(location = 0) in vec4 position;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 tint;
layout(location = 3) in float unit;

out vec2 frameCoord;
out vec4 rgba;
flat out int image;

void main()
{
    gl_Position = position;
    frameCoord = texCoord;
    rgba = tint;
    image = int(unit + 0.5);
}
