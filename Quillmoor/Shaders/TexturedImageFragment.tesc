#version 330 core
// The image's texel tinted by the draw's colour. A batch spans up to 16 images, one per
// texture unit; this version of GLSL indexes sampler arrays by constants only, hence the
// switch. beatTime and time are offered to every textured draw but plain images do not
// move with the music.
in vec2 frameCoord;
in vec4 rgba;
flat in int image;

uniform sampler2D images[16];
uniform float beatTime;
uniform float time;

out vec4 colour;

vec4 Texel()
{
    switch (image) {
    case 0: return texture(images[0], frameCoord);
    case 1: return texture(images[1], frameCoord);
    case 2: return texture(images[2], frameCoord);
    case 3: return texture(images[3], frameCoord);
    case 4: return texture(images[4], frameCoord);
    case 5: return texture(images[5], frameCoord);
    case 6: return texture(images[6], frameCoord);
    case 7: return texture(images[7], frameCoord);
    case 8: return texture(images[8], frameCoord);
    case 9: return texture(images[9], frameCoord);
    case 10: return texture(images[10], frameCoord);
    case 11: return texture(images[11], frameCoord);
    case 12: return texture(images[12], frameCoord);
    case 13: return texture(images[13], frameCoord);
    case 14: return texture(images[14], frameCoord);
    default: return texture(images[15], frameCoord);
    }
}

void main()
{
    colour = Texel() * rgba;
}
