// Graphics: the renderer. It owns the fixed render state, the unit quad, the batches and
// the draw operations every visible thing goes through, on plain data (a world matrix, a
// texture, a frame, a colour), into the window's context; the window tells it every new
// framebuffer size. Started by the engine after the window, the camera and the texture
// table (it loads every texture) and destroyed right after the audio engine, once the
// spaces are gone.
// Consecutive textured draws are gathered into one batch and sent as one draw call (in
// order, so blending is unchanged) when the batch is full or other GL work comes: Flush.
// A run started without a window has no context: the draw operations only compute what
// they would draw and record it in drawLog. Game thread only.
#pragma once

#include "service.h"

#include <glm/mat3x3.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec4.hpp>
#include <glm/ext/vector_int4.hpp>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace volleyrun {

struct Texture;

class Graphics : public Service<Graphics> {
public:
    static constexpr const char* kServiceName = "the graphics";
    // One draw operation as it reached the GPU (or would have, headless).
    struct DrawRecord {
        enum Kind { kSprite, kParticle, kOutline };
        Kind kind = kSprite;
        std::string image;      // texture drawn, after the "default.png" fallback; empty for outlines
        uint32_t frame = 0;     // frame drawn (an atlas index past the end draws 0)
        glm::mat3 world{1.0f};  // the caller's world matrix
        glm::mat3 model{1.0f};  // the screen scale x world x diag(uvScale)
        glm::mat4 transform{1.0f};  // projection x view x model: clip space
        glm::vec4 colour{1.0f};
        glm::vec2 uv{0.0f};
        glm::vec2 uvScale{1.0f};
    };

    // Sets up the window's context, if it has one, and fills the texture table (both
    // started before).
    static Graphics* Start();
    ~Graphics();  // frees what it made in the context; also after a failed start-up

    // The engine's frame: BeginFrame before the frame's update (clears the picture and the
    // draw log), Beat on every beat of the music (the shaders' beat time restarts).
    void BeginFrame(float dt);
    void Beat();
    // The framebuffer's size in pixels: the picture is letterboxed into it.
    void OnResize(int newWidth, int newHeight);

    // One frame of a texture over the world rectangle the matrix maps the unit square to.
    void DrawSprite(const glm::mat3& world, Texture& texture, uint32_t frame, glm::vec4 rgba);
    // Particles: one frame of one texture, tinted rgb, each drawn at its own place and alpha.
    void BeginParticleBatch(Texture& texture, uint32_t frame, glm::vec3 rgb);
    void DrawParticle(const glm::mat3& world, float alpha);
    void DrawOutline(const glm::mat3& world);  // only while debugDraw is set
    // Window pixels (y down) to world units, through the letterboxed picture.
    glm::vec2 ScreenToWorld(float px, float py) const;
    // Where the picture goes in a framebuffer of that size: the largest centred 2:1 area,
    // leaving bars at the sides or at the top and bottom. {x, y, width, height} in pixels.
    static glm::ivec4 Letterbox(int framebufferWidth, int framebufferHeight);
    // Sends the draws gathered so far to the GPU. The engine calls it before the window
    // swaps; every other GL use in Graphics calls it; code issuing GL calls of its own
    // must call it first.
    void Flush();

    // A copy of the picture drawn so far this frame, to put back in later frames instead of
    // drawing again what does not change (the frozen match under the end screen): one
    // copy in place of every sprite, with no blending. KeepPicture is false without a
    // context; ShowKeptPicture is false when there is none to show (never kept, dropped, or
    // the window changed size since).
    bool KeepPicture();
    bool ShowKeptPicture();
    void DropKeptPicture();

    // Whether draws reach a GL context; false when the run started without a window.
    bool HasContext() const { return context_; }

    // F1's debug drawing: while set, sprites and text do not draw and the engine draws
    // every transform's outline instead.
    bool debugDraw = false;
    int width = 0;            // framebuffer pixels, as last reported by OnResize
    int height = 0;
    glm::ivec4 picture{0};    // the letterboxed part of the framebuffer the view is drawn into
    uint32_t batchVertexArray = 0;   // sprites, glyphs and particles: the batch's vertex layout
    uint32_t batchVertexBuffer = 0;  // refilled by every Flush
    uint32_t batchIndexBuffer = 0;   // fixed: two triangles per quad, as many quads as a batch holds
    uint32_t plainVertexArray = 0;   // outlines
    uint32_t plainQuadBuffer = 0;
    uint32_t quadIndexBuffer = 0;
    float beatTime = 0.0f;    // seconds since the last beat, negated (0 on the beat)

    bool recordDraws = false;           // on without a context: tests and benchmarks read drawLog
    std::vector<DrawRecord> drawLog;    // the draws of the current frame; cleared by BeginFrame

private:
    static constexpr size_t kBatchQuads = 2048;  // quads per draw call; 16-bit indices
    static constexpr uint32_t kNoTexture = ~0u;

    // One corner of a batched quad, already in clip space with its final texture coordinate.
    struct BatchVertex {
        glm::vec4 position;
        glm::vec2 frameCoord;  // u right, v down from the image's top row
        glm::vec4 rgba;
    };
    struct ParticleBatch {
        uint32_t page = 0;      // GL texture of the frame's page
        glm::vec4 place{0.0f, 0.0f, 1.0f, 1.0f};  // the page's place in it
        uint32_t gridQuad = 0;
        std::string image;
        uint32_t frame = 0;
        glm::vec3 rgb{1.0f};
        glm::vec2 uvScale{1.0f};
        glm::vec2 uv{0.0f};      // as FrameUV gives it (the draw log's)
        glm::vec2 pageUV{0.0f};  // the same offset inside the frame's page
    };
    // Uniform locations of the textured program, looked up once per program.
    struct TexturedUniforms {
        uint32_t program = 0;
        int beatTime = -1, time = -1;
    };
    // What the context is known to hold, so that a draw sets only what differs from the
    // draw before it. Only Graphics changes this state; NaN and ~0 mean "unknown".
    struct KnownGlState {
        uint32_t program = ~0u;
        uint32_t texture = kNoTexture;  // bound to unit 0, the only unit used
        bool filled = false;
        float beatTime = std::numeric_limits<float>::quiet_NaN();
        float time = std::numeric_limits<float>::quiet_NaN();
    };

    Graphics();
    void StartUp();
    void SetFixedRenderState();
    void BuildUnitQuad();
    void Record(DrawRecord::Kind kind, const std::string& image, uint32_t frame, const glm::mat3& world,
                const glm::mat3& model, const glm::mat4& transform, glm::vec4 colour, glm::vec2 uv, glm::vec2 uvScale);
    glm::mat4 ClipTransform(const glm::mat3& model) const;
    void BuildBatchBuffers();
    void UseTexturedProgram();
    void AppendQuad(uint32_t page, glm::vec4 place, uint32_t gridQuad, const glm::mat4& transform, glm::vec4 rgba,
                    glm::vec2 pageUV, glm::vec2 uvScale);

    bool context_ = false;
    ParticleBatch batch_;
    TexturedUniforms textured_;
    KnownGlState known_;
    float frameTime_ = 0.0f;  // the window's seconds, read once per frame for the "time" uniform
    std::vector<BatchVertex> batchVertices_;  // four per quad, in draw order
    uint32_t batchTexture_ = kNoTexture;  // the one texture of this batch; kNoTexture while empty
    uint32_t keptFramebuffer_ = 0;   // holds the kept picture's colour buffer
    uint32_t keptColour_ = 0;        // renderbuffer, the size of the picture when kept
    glm::ivec4 keptArea_{0};         // the picture's area it was copied from; zero size: nothing kept
};

} // namespace volleyrun
