#version 330 core
// The image's brightness painted with a hue that turns once every three seconds and
// sweeps across the image; it flares on each beat and settles within a quarter second.
in vec2 frameCoord;

uniform sampler2D image;
uniform vec4 rgba;
uniform float beatTime;  // seconds since the last beat, negated
uniform float time;      // seconds since start

out vec4 colour;

vec3 Hue(float h)
{
    vec3 k = abs(fract(vec3(h) + vec3(0.0, 2.0 / 3.0, 1.0 / 3.0)) * 6.0 - 3.0) - 1.0;
    return clamp(k, 0.0, 1.0);
}

void main()
{
    vec4 texel = texture(image, frameCoord);
    float light = max(texel.r, max(texel.g, texel.b));
    float flare = 1.0 + 0.5 * exp(16.0 * beatTime);
    vec3 tint = Hue(time / 3.0 + frameCoord.x * 0.5) * light * flare;
    colour = vec4(min(tint, vec3(1.0)), texel.a) * rgba;
}
