// Window: the game's one window and its OpenGL 3.3 core context, or none at all when the
// run starts without one (--headless). It owns the window system: the window's placement
// (filling the monitor, or the F11 window), whether it is minimised, the buffer swap with
// the screenshots asked for, and event polling, whose key, mouse, scroll and pad callbacks
// go to Input stamped with the instant they happened. The renderer learns every new
// framebuffer size through onResize. Without a window it stands for the monitor the game
// is designed for, so that placement and sizes change as they would on screen.
// Started by the engine after input and before the graphics; destroyed after the graphics.
// Game thread only.
#pragma once

#include "runoptions.h"
#include "service.h"

#include <cstdint>
#include <functional>
#include <vector>

struct GLFWmonitor;
struct GLFWwindow;

namespace volleyrun {

class Window : public Service<Window> {
public:
    static constexpr const char* kServiceName = "the window";

    // Where the window goes: the whole monitor, or a window at (x, y).
    struct Placement {
        bool onMonitor = false;
        int x = 0, y = 0, width = 0, height = 0, refreshRate = 0;
    };

    // Opens the window, makes its context current and loads OpenGL, unless the run is
    // headless; --windowed starts it as the F11 window. Throws GameError when the window
    // system, the window or the context fails, and for --screenshot without a window.
    static Window* Start(const RunOptions& options);
    ~Window();  // closes the window and the window system; also after a failed start

    bool Open() const { return handle_ != nullptr; }
    GLFWwindow* Handle() const { return handle_; }
    // The window system asked the window to close.
    bool CloseRequested() const;
    // F11 and the level's full-screen button: monitor-filling <-> a 93.75 % window.
    void ToggleFullscreen();
    // Seconds since the window system started (0 without a window): the shaders' clock.
    double Seconds() const;

    // Frame steps the engine runs after drawing (and flushing the renderer), in this order.
    void UpdateMinimized();
    void SwapBuffers(int64_t frame);  // first saves the --screenshot asked for that frame (from 1)
    void PollEvents();   // window callbacks, then the replay's key, mouse and cursor lines
    // Window callbacks of events that came while the frame was busy (stamped with the
    // middle of the interval since the last poll).
    void PollWindow();
    // Waits for window events until the instant, handling each as it comes so that it
    // carries the instant it happened; reads the pads every millisecond meanwhile.
    void WaitForEvents(int64_t until);

    // The framebuffer's new size in pixels, as the window system reports it (or as a
    // headless toggle would get it): recorded, then handed to onResize.
    void Resized(int newWidth, int newHeight);
    // Set by the renderer while it runs.
    std::function<void(int width, int height)> onResize;

    bool fullscreen = true;   // the window fills the monitor (true at start)
    bool minimized = false;   // written once per frame by UpdateMinimized
    int width = 0;            // framebuffer pixels, as last reported
    int height = 0;
    Placement placement;      // set by the last ToggleFullscreen
    std::vector<ScreenshotRequest> screenshots;  // from --screenshot; SwapBuffers saves them

private:
    explicit Window(const RunOptions& options);
    void OpenWindow();
    void InstallCallbacks();
    void Close();

    GLFWwindow* handle_ = nullptr;
    GLFWmonitor* monitor_ = nullptr;
    bool glfwStarted_ = false;
    int64_t lastWindowPoll_ = 0;  // when window events were last handled
};

} // namespace volleyrun
