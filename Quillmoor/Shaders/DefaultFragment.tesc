#version 330 core
// One flat colour.
uniform vec4 rgba;

out vec4 colour;

void main()
{
    colour = rgba;
}
