// ShaderProgram: the three GLSL programs the draw operations use, compiled from
// "Shaders/<name>Vertex.tesc" and "<name>Fragment.tesc" the first time each is asked
// for and kept until Graphics shuts down (ForgetAll: the programs die with the context).
// A missing file, a compile error or a link error throws GameError with the file and the
// driver's log. Game thread, with the GL context current.
#pragma once

#include <cstdint>
#include <string>

namespace volleyrun {

enum ShaderIndex : int {
    kShaderDefault = 0,        // outlines: position only, separate view and projection
    kShaderRainbow = 1,        // not used by a draw operation
    kShaderTexturedImage = 2,  // sprites, glyphs and particles
    kShaderCount = 3,
};

class ShaderProgram {
public:
    static const char* Name(ShaderIndex index);
    // The GL program, loaded on first use.
    static uint32_t Get(ShaderIndex index);
    // Drops the cache without GL calls; the next Get loads again.
    static void ForgetAll();

private:
    static uint32_t Load(ShaderIndex index);
};

inline uint32_t GetShaderProgram(ShaderIndex index)
{
    return ShaderProgram::Get(index);
}

} // namespace volleyrun
