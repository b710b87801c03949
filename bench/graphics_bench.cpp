// Graphics figures on the real content: start-up to the first presented frame, and the
// CPU cost of drawing 2,000 sprites in one frame, split into our own work (headless:
// texture look-up, frame coordinates, matrices) and what the GL calls add with Mesa.
// The window cases need a display; on a machine without one run
//   xvfb-run -a -s "-screen 0 1920x1080x24" ./volleyrun_bench --benchmark_filter=Graphics
#include "camera.h"
#include "engine.h"
#include "gameerror.h"
#include "graphics.h"
#include "input.h"
#include "runoptions.h"
#include "sprite.h"
#include "texturestore.h"
#include "window.h"

#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace volleyrun {

namespace {

enum Mode : int64_t { kHeadless = 0, kWindow = 1, kWindowFinished = 2, kWindowUnchecked = 3 };

bool Usable(benchmark::State& state, int64_t mode)
{
    if (mode == kHeadless || std::getenv("DISPLAY")) return true;
    state.SkipWithError("needs a display: run under xvfb-run");
    return false;
}

// What start returns, or null after a failed start-up (no display, a content error),
// which then ends the benchmark with the message.
// The graphics with the services they use, without an engine.
Graphics* StartGraphicsAlone()
{
    Input::Start();
    Window::Start(RunOptions::Get());
    Camera::Start();
    TextureStore::Start();
    return Graphics::Start();
}

void StopGraphicsAlone()
{
    Graphics::Destroy();
    TextureStore::Destroy();
    Camera::Destroy();
    Window::Destroy();
    Input::Destroy();
}

template <class Start>
auto Started(benchmark::State& state, Start start) -> decltype(start())
{
    try {
        return start();
    } catch (const GameError& error) {
        state.SkipWithError(error.what());
        Engine::Destroy();
        StopGraphicsAlone();
        return nullptr;
    }
}

void UseRealContent(bool headless)
{
    RunOptions& options = RunOptions::Get();
    options = RunOptions();
    options.data = VOLLEYRUN_SOURCE_DIR "/Quillmoor";
    options.headless = headless;
    options.virtualTime = true;
    options.hasSeed = true;
    options.seed = 1;
}

// The window, the context, the unit quad and every texture, up to one presented frame.
void GraphicsStartUp(benchmark::State& state)
{
    int64_t mode = state.range(0);
    if (!Usable(state, mode)) return;
    for (auto _ : state) {
        UseRealContent(mode == kHeadless);
        Graphics* graphics = Started(state, StartGraphicsAlone);
        if (!graphics) return;
        graphics->Flush();
        Window::Get()->SwapBuffers(1);
        state.PauseTiming();
        state.counters["textures"] = static_cast<double>(TextureStore::Get()->Size());
        StopGraphicsAlone();
        state.ResumeTiming();
    }
}
BENCHMARK(GraphicsStartUp)->Arg(kHeadless)->Arg(kWindow)->Iterations(5)->Unit(benchmark::kMillisecond);

// The whole engine (graphics, audio, the trace, the first spaces) and its first frame.
void EngineStartUpToFirstFrame(benchmark::State& state)
{
    int64_t mode = state.range(0);
    if (!Usable(state, mode)) return;
    for (auto _ : state) {
        UseRealContent(mode == kHeadless);
        Engine* engine = Started(state, [] { return Engine::Start(); });
        if (!engine) return;
        engine->Update();
        state.PauseTiming();
        Engine::Destroy();
        state.ResumeTiming();
    }
}
BENCHMARK(EngineStartUpToFirstFrame)->Arg(kHeadless)->Arg(kWindow)->Iterations(5)->Unit(benchmark::kMillisecond);

void NoCheck(const char*, GLADapiproc, int, ...) {}
void NoCheckAfter(void*, const char*, GLADapiproc, int, ...) {}

// 2,000 sprites over every image of the content, spread across the screen: each sprite
// on another image than the one before it (mixed), or 50 in a row on one image, as the
// glyphs of a text are (grouped).
struct SpriteField {
    explicit SpriteField(bool grouped)
    {
        std::vector<std::string> names = TextureStore::Get()->Names();
        for (int i = 0; i < 2000; ++i) {
            const std::string& name = names[static_cast<size_t>(grouped ? i / 50 : i) % names.size()];
            uint32_t frames = FindTexture(name).frameCount;
            sprites.push_back(std::make_unique<Sprite>(nullptr, name, static_cast<uint32_t>(i) % frames));
            float x = static_cast<float>(i % 50) * 21.0f - 520.0f;
            float y = static_cast<float>(i / 50) * 13.0f - 260.0f;
            worlds.push_back(glm::mat3(40.0f, 0.0f, 0.0f, 0.0f, 40.0f, 0.0f, x, y, 1.0f));
        }
    }
    void Draw()
    {
        for (size_t i = 0; i < sprites.size(); ++i) sprites[i]->Draw(worlds[i], glm::vec4(1.0f));
    }
    std::vector<std::unique_ptr<Sprite>> sprites;
    std::vector<glm::mat3> worlds;
};

// One frame's worth of sprite draws. Mode 0, headless: only our own work. 1, window: plus
// the GL calls as Mesa takes them (llvmpipe transforms and bins on this thread and
// rasterises on its own threads); 2: plus waiting for the rasteriser to finish; 3: as 1
// without the loader's per-call error checks.
void Draw2000Sprites(benchmark::State& state)
{
    int64_t mode = state.range(0);
    bool grouped = state.range(1) != 0;
    if (!Usable(state, mode)) return;
    UseRealContent(mode == kHeadless);
    Graphics* graphics = Started(state, StartGraphicsAlone);
    if (!graphics) return;
    graphics->recordDraws = false;
    if (mode == kWindowUnchecked) {
        gladSetGLPreCallback(NoCheck);
        gladSetGLPostCallback(NoCheckAfter);  // for good: this case runs last
    }
    SpriteField field(grouped);
    field.Draw();  // shaders compiled, caches warm
    graphics->Flush();
    for (auto _ : state) {
        field.Draw();
        graphics->Flush();  // the last batch's draw call belongs to the frame's cost
        if (mode == kWindowFinished) glFinish();
        state.PauseTiming();
        if (graphics->HasContext()) {
            glFinish();
            Window::Get()->SwapBuffers(0);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    StopGraphicsAlone();  // the next start-up installs the checking hook again
}
BENCHMARK(Draw2000Sprites)
    ->ArgNames({"mode", "grouped"})
    ->ArgsProduct({{kHeadless, kWindow, kWindowFinished, kWindowUnchecked}, {0, 1}})
    ->Iterations(200)  // each also presents a frame outside the timing: bounded, not timed
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace volleyrun
