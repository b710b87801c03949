#version 330 core
// The image's texel tinted by the draw's colour. A batch draws from one texture (a sheet
// many images share), bound to unit 0. beatTime and time are offered to every textured
// draw but plain images do not move with the music.
in vec2 frameCoord;
in vec4 rgba;

uniform sampler2D image;
uniform float beatTime;
uniform float time;

out vec4 colour;

void main()
{
    colour = texture(image, frameCoord) * rgba;
}
