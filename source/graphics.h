// Graphics: the one window, its OpenGL 3.3 core context, the fixed render state, the unit
// quad and the draw operations every visible thing goes through. Created first during
// engine start-up (which also loads every texture) and destroyed right after the spaces.
// Headless runs (--headless) open no window and make no GL call: the draw operations only
// compute what they would draw and record it in drawLog. Game thread only.
#pragma once

#include <glm/mat3x3.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class BeatEvent;
class Sprite;
class Transform;
class UpdateEvent;
struct Texture;
struct GLFWmonitor;
struct GLFWwindow;

// Multiplied on the left into every drawn world matrix, before the camera. diag(3, 3, 1)
// after every resize; gameplay negates its x or y entry to mirror the whole view.
extern glm::mat3 screenScale;
// While set, sprites and text do not draw and every Transform draws its outline instead.
extern bool debugDrawMode;

class Graphics {
public:
    // One draw operation as it reached the GPU (or would have, headless).
    struct DrawRecord {
        enum Kind { kSprite, kParticle, kOutline };
        Kind kind = kSprite;
        std::string image;      // texture drawn, after the "default.png" fallback; empty for outlines
        uint32_t frame = 0;     // frame drawn (an atlas index past the end draws 0)
        glm::mat3 world{1.0f};  // the caller's world matrix
        glm::mat3 model{1.0f};  // screenScale x world x diag(uvScale)
        glm::mat4 transform{1.0f};  // projection x view x model: clip space
        glm::vec4 colour{1.0f};
        glm::vec2 uv{0.0f};
        glm::vec2 uvScale{1.0f};
    };

    // Where the window goes: the whole monitor, or a window at (x, y).
    struct WindowPlacement {
        bool onMonitor = false;
        int x = 0, y = 0, width = 0, height = 0, refreshRate = 0;
    };

    // The graphics, started on first use (window, context, textures).
    static Graphics* Get();
    static bool Exists();
    // Shutdown and destruction; also resets the camera, the texture table, screenScale
    // and debugDrawMode, so the next engine starts afresh. Safe after a failed start-up.
    static void Destroy();
    ~Graphics();

    void OnUpdate(UpdateEvent& event);
    void OnBeat(BeatEvent& event);
    void OnResize(int newWidth, int newHeight);
    // F11 and the level's full-screen button: monitor-filling <-> a 93.75 % window.
    void ToggleFullscreen();

    // Frame steps the engine runs after drawing, in this order.
    void UpdateMinimized();
    void SwapBuffers();  // first saves the --screenshot asked for this frame
    void PollEvents();   // window callbacks, then the replay's key, mouse and cursor lines

    void DrawSprite(const glm::mat3& world, Sprite& sprite, glm::vec4 rgba);
    void BeginParticleBatch(Sprite& sprite);
    void DrawParticle(const glm::mat3& world, float alpha);
    void DrawOutline(Transform& transform);  // only while debugDrawMode is set
    glm::vec2 ScreenToWorld(float px, float py) const;

    bool Headless() const { return headless_; }

    bool fullscreen = true;   // the window fills the monitor (true at start)
    bool minimized = false;   // written once per frame by UpdateMinimized
    GLFWwindow* window = nullptr;
    GLFWmonitor* monitor = nullptr;
    int width = 0;            // framebuffer pixels, as last reported by OnResize
    int height = 0;
    uint32_t texturedVertexArray = 0;  // holds the index buffer; sprites draw through one array per grid quad
    uint32_t plainVertexArray = 0;     // outlines
    uint32_t plainQuadBuffer = 0;
    uint32_t quadIndexBuffer = 0;
    float beatTime = 0.0f;    // seconds since the last beat, negated (0 on the beat)
    WindowPlacement placement;  // set by the last ToggleFullscreen

    bool recordDraws = false;           // on in headless runs: tests and benchmarks read drawLog
    std::vector<DrawRecord> drawLog;    // the draws of the current frame; cleared by OnUpdate

private:
    struct ParticleBatch {
        std::string image;
        uint32_t frame = 0;
        glm::vec3 rgb{1.0f};
        glm::vec2 uvScale{1.0f};
        glm::vec2 uv{0.0f};
    };
    // Uniform locations of the textured program, looked up once per program.
    struct TexturedUniforms {
        uint32_t program = 0;
        int rgba = -1, transform = -1, beatTime = -1, time = -1, uv = -1, uvScale = -1;
    };
    // What the context is known to hold, so that a draw sets only what differs from the
    // draw before it. Only Graphics changes this state; NaN and ~0 mean "unknown".
    struct KnownGlState {
        uint32_t program = ~0u;
        uint32_t texture = ~0u;
        uint32_t vertexArray = ~0u;
        bool filled = false;
        glm::vec4 rgba{std::numeric_limits<float>::quiet_NaN()};
        glm::vec2 uv{std::numeric_limits<float>::quiet_NaN()};
        glm::vec2 uvScale{std::numeric_limits<float>::quiet_NaN()};
        float beatTime = std::numeric_limits<float>::quiet_NaN();
        float time = std::numeric_limits<float>::quiet_NaN();
    };

    Graphics();
    void StartUp();
    void OpenWindow();
    void InstallCallbacks();
    void SetFixedRenderState();
    void BuildUnitQuad();
    void Shutdown();
    void SaveScreenshots();
    void Record(DrawRecord::Kind kind, const std::string& image, uint32_t frame, const glm::mat3& world,
                const glm::mat3& model, const glm::mat4& transform, glm::vec4 colour, glm::vec2 uv, glm::vec2 uvScale);
    glm::mat4 ClipTransform(const glm::mat3& model) const;
    void UseTexturedProgram();
    void SetTexturedState(const Texture& texture, glm::vec2 uv, glm::vec2 uvScale);
    void SetColour(glm::vec4 rgba);
    uint32_t QuadArray(uint32_t gridQuad);

    bool headless_ = false;
    bool glfwStarted_ = false;
    bool listening_ = false;
    ParticleBatch batch_;
    TexturedUniforms textured_;
    KnownGlState known_;
    float frameTime_ = 0.0f;  // seconds since GLFW started, read once per frame for the "time" uniform
    // One vertex array per grid quad (its buffer, the index buffer and the attribute
    // layout), made on first use: a draw switches quads with a single bind.
    std::vector<uint32_t> quadArrays_;
};
