#version 330 core
// The image's texel tinted by the draw's colour; beatTime and time are offered to every
// textured draw but plain images do not move with the music.
in vec2 frameCoord;

uniform sampler2D image;
uniform vec4 rgba;
uniform float beatTime;
uniform float time;

out vec4 colour;

void main()
{
    colour = texture(image, frameCoord) * rgba;
}
