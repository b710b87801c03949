#include "shaderprogram.h"

#include "gameerror.h"
#include "runoptions.h"

#include <glad/gl.h>

#include <array>
#include <fstream>
#include <sstream>

namespace volleyrun {

namespace {
constexpr uint32_t kNotLoaded = 0xFFFFFFFFu;
std::array<uint32_t, kShaderCount> programs = {kNotLoaded, kNotLoaded, kNotLoaded};

std::string ReadSource(const std::string& path, const char* failure)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw GameError(std::string(failure) + ": " + path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

GLuint Compile(GLenum stage, const std::string& path, const char* failure)
{
    std::string source = ReadSource(path, failure);
    const char* text = source.c_str();
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
    glDeleteShader(shader);
    throw GameError(path + ": " + log);
}

} // namespace

const char* ShaderProgram::Name(ShaderIndex index)
{
    static const char* const names[kShaderCount] = {"Default", "Rainbow", "TexturedImage"};
    return names[index];
}

uint32_t ShaderProgram::Get(ShaderIndex index)
{
    GAME_CHECK(index >= 0 && index < kShaderCount, "an unknown shader index was asked for");
    if (programs[index] < kNotLoaded) return programs[index];
    return Load(index);
}

void ShaderProgram::ForgetAll()
{
    programs.fill(kNotLoaded);
}

uint32_t ShaderProgram::Load(ShaderIndex index)
{
    std::string base = RunOptions::Get().ContentPath(std::string("Shaders/") + Name(index));
    GLuint vertex = Compile(GL_VERTEX_SHADER, base + "Vertex.tesc", "Vertex Shader file failed to open");
    GLuint fragment = 0;
    try {
        fragment = Compile(GL_FRAGMENT_SHADER, base + "Fragment.tesc", "Fragment Shader file failed to open");
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[512] = {};
        glGetProgramInfoLog(program, sizeof(log), nullptr, log);
        glDeleteProgram(program);
        throw GameError(base + ": the " + Name(index) + " program does not link: " + log);
    }
    programs[index] = program;
    return program;
}

} // namespace volleyrun
