#include "graphics.h"

#include "camera.h"
#include "shaderprogram.h"
#include "texturestore.h"
#include "window.h"

#include <glad/gl.h>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

namespace volleyrun {

namespace {

const glm::vec4 kOutlineColour(0.471f, 0.318f, 0.663f, 1.0f);  // violet

const float kCorners[8] = {0.5f, 0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f, 0.5f};
const uint32_t kQuadIndices[6] = {0, 1, 3, 1, 2, 3};
// Which of a grid cell's far edges each corner of kCorners takes (1) or its near edge (0).
const float kCornerU[4] = {1.0f, 1.0f, 0.0f, 0.0f};
const float kCornerV[4] = {1.0f, 0.0f, 0.0f, 1.0f};

// Multiplied on the left into every drawn world matrix, before the camera: world units are
// a third of the view's.
const glm::mat3 kScreenScale(3.0f, 0.0f, 0.0f, 0.0f, 3.0f, 0.0f, 0.0f, 0.0f, 1.0f);

// kScreenScale x world x diag(uvScale.x, uvScale.y, 1): the diagonal only scales columns.
glm::mat3 Model(const glm::mat3& world, glm::vec2 uvScale)
{
    glm::mat3 model = kScreenScale * world;
    model[0] *= uvScale.x;
    model[1] *= uvScale.y;
    return model;
}

} // namespace

Graphics* Graphics::Start()
{
    if (Exists()) return Get();
    Graphics* graphics = Publish(std::unique_ptr<Graphics>(new Graphics()));
    graphics->StartUp();  // published first: start-up code may ask for the graphics
    return graphics;
}

Graphics::Graphics() : context_(Window::Get()->Open())
{
    recordDraws = !context_;
}

void Graphics::StartUp()
{
    if (context_) {
        SetFixedRenderState();
        BuildUnitQuad();
        BuildBatchBuffers();
    }
    LoadTextureDirectory();
    Window* window = Window::Get();
    window->onResize = [this](int newWidth, int newHeight) { OnResize(newWidth, newHeight); };
    OnResize(window->width, window->height);
}

// No depth test and no clear colour: frames clear to (0, 0, 0, 0) and later draws cover
// earlier ones.
void Graphics::SetFixedRenderState()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void Graphics::BuildUnitQuad()
{
    glGenVertexArrays(1, &plainVertexArray);
    glGenBuffers(1, &plainQuadBuffer);
    glGenBuffers(1, &quadIndexBuffer);
    glBindVertexArray(plainVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, plainQuadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kCorners), kCorners, GL_STREAM_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(kQuadIndices), kQuadIndices, GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

// The batch's vertex layout, its vertex buffer (sized per flush) and the fixed indices:
// every quad is two triangles over its four corners in kCorners order.
void Graphics::BuildBatchBuffers()
{
    std::vector<uint16_t> indices;
    indices.reserve(kBatchQuads * 6);
    for (size_t quad = 0; quad < kBatchQuads; ++quad)
        for (uint32_t corner : kQuadIndices) indices.push_back(static_cast<uint16_t>(quad * 4 + corner));
    glGenVertexArrays(1, &batchVertexArray);
    glGenBuffers(1, &batchVertexBuffer);
    glGenBuffers(1, &batchIndexBuffer);
    glBindVertexArray(batchVertexArray);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, batchIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)), indices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, batchVertexBuffer);
    constexpr GLsizei stride = sizeof(BatchVertex);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(BatchVertex, position)));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(BatchVertex, frameCoord)));
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(BatchVertex, rgba)));
    for (GLuint attribute = 0; attribute < 3; ++attribute) glEnableVertexAttribArray(attribute);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    batchVertices_.reserve(kBatchQuads * 4);
}

Graphics::~Graphics()
{
    if (Window::Exists()) Window::Get()->onResize = nullptr;
    if (context_) {
        batchVertices_.clear();  // the context goes: nothing more reaches it
        DropKeptPicture();
        glDeleteVertexArrays(1, &plainVertexArray);
        glDeleteVertexArrays(1, &batchVertexArray);
        glDeleteBuffers(1, &plainQuadBuffer);
        glDeleteBuffers(1, &quadIndexBuffer);
        glDeleteBuffers(1, &batchVertexBuffer);
        glDeleteBuffers(1, &batchIndexBuffer);
    }
    ShaderProgram::ForgetAll();  // the programs die with the context
}

void Graphics::OnResize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    picture = Letterbox(newWidth, newHeight);
    Camera* camera = Camera::Get();
    camera->SetZoom(camera->Zoom());
    if (!context_) return;
    Flush();  // drawn with the viewport they were made for
    glViewport(picture.x, picture.y, picture.z, picture.w);
}

bool Graphics::KeepPicture()
{
    if (!context_) return false;
    Flush();
    if (!keptFramebuffer_) {
        glGenFramebuffers(1, &keptFramebuffer_);
        glGenRenderbuffers(1, &keptColour_);
    }
    if (keptArea_.z != picture.z || keptArea_.w != picture.w) {
        glBindRenderbuffer(GL_RENDERBUFFER, keptColour_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, picture.z, picture.w);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, keptFramebuffer_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, keptColour_);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, keptFramebuffer_);
    bool complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete)
        glBlitFramebuffer(picture.x, picture.y, picture.x + picture.z, picture.y + picture.w, 0, 0, picture.z,
                          picture.w, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    keptArea_ = complete ? picture : glm::ivec4(0);
    return complete;
}

bool Graphics::ShowKeptPicture()
{
    if (!context_ || keptArea_ != picture || picture.z <= 0 || picture.w <= 0) return false;
    Flush();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, keptFramebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, picture.z, picture.w, picture.x, picture.y, picture.x + picture.z, picture.y + picture.w,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return true;
}

void Graphics::DropKeptPicture()
{
    if (keptFramebuffer_) {
        glDeleteFramebuffers(1, &keptFramebuffer_);
        glDeleteRenderbuffers(1, &keptColour_);
    }
    keptFramebuffer_ = keptColour_ = 0;
    keptArea_ = glm::ivec4(0);
}

void Graphics::BeginFrame(float dt)
{
    beatTime -= dt;
    drawLog.clear();
    if (!context_) return;
    Flush();  // draws made between frames land before the clear, as they always did
    frameTime_ = static_cast<float>(Window::Get()->Seconds());
    known_ = KnownGlState();  // whatever happened between frames, start from nothing known
    glClear(GL_COLOR_BUFFER_BIT);
}

void Graphics::Beat()
{
    if (context_) Flush();  // the draws before the beat keep the beat time they were made with
    beatTime = 0.0f;
}

void Graphics::Record(DrawRecord::Kind kind, const std::string& image, uint32_t frame, const glm::mat3& world,
                      const glm::mat3& model, const glm::mat4& transform, glm::vec4 colour, glm::vec2 uv, glm::vec2 uvScale)
{
    if (recordDraws) drawLog.push_back({kind, image, frame, world, model, transform, colour, uv, uvScale});
}

// projection x view x the 4x4 form of model, using that form's zeros: every draw pays
// for this, in the game and headless alike.
glm::mat4 Graphics::ClipTransform(const glm::mat3& model) const
{
    const glm::mat4& pv = Camera::Get()->GetViewProjection();
    return glm::mat4(pv[0] * model[0][0] + pv[1] * model[0][1], pv[0] * model[1][0] + pv[1] * model[1][1], pv[2],
                     pv[0] * model[2][0] + pv[1] * model[2][1] + pv[3]);
}

void Graphics::UseTexturedProgram()
{
    if (!known_.filled) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        known_.filled = true;
    }
    GLuint program = GetShaderProgram(kShaderTexturedImage);
    if (known_.program != program) {
        glUseProgram(program);
        known_.program = program;
    }
    if (textured_.program == program) return;
    textured_.program = program;
    textured_.beatTime = glGetUniformLocation(program, "beatTime");
    textured_.time = glGetUniformLocation(program, "time");
    glUniform1i(glGetUniformLocation(program, "image"), 0);
}

void Graphics::Flush()
{
    if (batchVertices_.empty()) return;
    UseTexturedProgram();
    if (known_.texture != batchTexture_) glBindTexture(GL_TEXTURE_2D, known_.texture = batchTexture_);
    if (known_.beatTime != beatTime) glUniform1f(textured_.beatTime, known_.beatTime = beatTime);
    if (known_.time != frameTime_) glUniform1f(textured_.time, known_.time = frameTime_);
    glBindVertexArray(batchVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, batchVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(batchVertices_.size() * sizeof(BatchVertex)),
                 batchVertices_.data(), GL_STREAM_DRAW);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batchVertices_.size() / 4 * 6), GL_UNSIGNED_SHORT, nullptr);
    batchVertices_.clear();
    batchTexture_ = kNoTexture;
}

// The quad's corners as the vertex shader used to place them: the clip transform of the
// unit square, and the grid cell's coordinates stretched by uvScale and moved by the
// frame's offset inside its page, with v turned to count from the top row the images are
// stored with, then moved into the page's place on its sheet. A batch holds one texture:
// another one flushes it.
void Graphics::AppendQuad(uint32_t page, glm::vec4 place, uint32_t gridQuad, const glm::mat4& transform,
                          glm::vec4 rgba, glm::vec2 pageUV, glm::vec2 uvScale)
{
    GetShaderProgram(kShaderTexturedImage);  // a broken program stops the draw that needs it
    if (batchTexture_ != page || batchVertices_.size() >= kBatchQuads * 4) Flush();
    batchTexture_ = page;
    const GridQuad& quad = TextureStore::Get()->Quad(gridQuad);
    glm::vec2 origin(place.x, place.y), extent(place.z, place.w);
    for (int corner = 0; corner < 4; ++corner) {
        glm::vec4 position = transform * glm::vec4(kCorners[2 * corner], kCorners[2 * corner + 1], 0.0f, 1.0f);
        glm::vec2 t = glm::vec2(kCornerU[corner] * quad.u, kCornerV[corner] * quad.v) * uvScale + pageUV;
        batchVertices_.push_back({position, origin + glm::vec2(t.x, 1.0f - t.y) * extent, rgba});
    }
}

void Graphics::DrawSprite(const glm::mat3& world, Texture& texture, uint32_t frame, glm::vec4 rgba)
{
    glm::vec2 uv = FrameUV(texture, frame);
    glm::vec2 uvScale = FrameUVScale(texture, frame);
    glm::mat3 model = Model(world, uvScale);
    glm::mat4 transform = ClipTransform(model);
    Record(DrawRecord::kSprite, texture.name, texture.currentFrame, world, model, transform, rgba, uv, uvScale);
    if (context_) AppendQuad(PageTexture(texture), PagePlace(texture), texture.gridQuad, transform, rgba, PageUV(texture), uvScale);
}

void Graphics::BeginParticleBatch(Texture& texture, uint32_t frame, glm::vec3 rgb)
{
    batch_.uv = FrameUV(texture, frame);
    batch_.pageUV = PageUV(texture);
    batch_.page = PageTexture(texture);
    batch_.place = PagePlace(texture);
    batch_.gridQuad = texture.gridQuad;
    batch_.image = texture.name;
    batch_.frame = texture.currentFrame;
    batch_.rgb = rgb;
    batch_.uvScale = FrameUVScale(texture, frame);
}

void Graphics::DrawParticle(const glm::mat3& world, float alpha)
{
    glm::vec4 rgba(batch_.rgb, alpha);
    glm::mat3 model = Model(world, batch_.uvScale);
    glm::mat4 transform = ClipTransform(model);
    Record(DrawRecord::kParticle, batch_.image, batch_.frame, world, model, transform, rgba, batch_.uv, batch_.uvScale);
    if (context_) AppendQuad(batch_.page, batch_.place, batch_.gridQuad, transform, rgba, batch_.pageUV, batch_.uvScale);
}

void Graphics::DrawOutline(const glm::mat3& world)
{
    if (!debugDraw) return;
    glm::mat3 model = kScreenScale * world;
    Record(DrawRecord::kOutline, "", 0, world, model, ClipTransform(model), kOutlineColour, glm::vec2(0.0f), glm::vec2(1.0f));
    if (!context_) return;
    Flush();
    GLuint program = GetShaderProgram(kShaderDefault);
    glUseProgram(program);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);  // the quad's edges and its diagonal
    known_.program = program;
    known_.filled = false;
    glBindVertexArray(plainVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, plainQuadBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(0);
    Camera* camera = Camera::Get();
    glUniform4fv(glGetUniformLocation(program, "rgba"), 1, glm::value_ptr(kOutlineColour));
    glUniformMatrix3fv(glGetUniformLocation(program, "transform"), 1, GL_FALSE, glm::value_ptr(model));
    glUniformMatrix4fv(glGetUniformLocation(program, "view"), 1, GL_FALSE, glm::value_ptr(camera->GetView()));
    glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, glm::value_ptr(camera->GetProjection()));
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

glm::vec2 Graphics::ScreenToWorld(float px, float py) const
{
    // The projection spreads 1600 x 800 scaled units (times the zoom) over the letterboxed
    // picture, centred in the framebuffer, so a pixel is worth 1600 / its width across and
    // 800 / its height up, counted from the centre; the bars map beyond the view's edges.
    float dx = (px - static_cast<float>(width) * 0.5f) * Camera::kViewWidth / static_cast<float>(std::max(picture.z, 1));
    float dy = (static_cast<float>(height) * 0.5f - py) * Camera::kViewHeight / static_cast<float>(std::max(picture.w, 1));
    float zoom = Camera::Get()->Zoom();
    glm::vec3 world = glm::inverse(kScreenScale) * glm::vec3(zoom * dx, zoom * dy, 1.0f);
    return {world.x, world.y};
}

glm::ivec4 Graphics::Letterbox(int framebufferWidth, int framebufferHeight)
{
    int pictureWidth = std::min(framebufferWidth, 2 * framebufferHeight);
    int pictureHeight = pictureWidth / 2;
    return {(framebufferWidth - pictureWidth) / 2, (framebufferHeight - pictureHeight) / 2, pictureWidth, pictureHeight};
}

} // namespace volleyrun
