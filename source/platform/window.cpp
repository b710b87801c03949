#include "window.h"

#include "frameclock.h"
#include "gameerror.h"
#include "input.h"
#include "screenshot.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace volleyrun {

namespace {

// Without a window the game pretends to have the monitor it is designed for.
constexpr int kHeadlessMonitorWidth = 1920;
constexpr int kHeadlessMonitorHeight = 1080;
constexpr int kHeadlessRefreshRate = 60;
constexpr double kWindowedShare = 0.9375;  // the F11 window's share of the monitor

// The loader's debug wrappers call this after every GL call; the pre-call hook has
// cleared the error flag, so the error read here is this call's.
void PrintGlError(void*, const char* name, GLADapiproc, int, ...)
{
    GLenum error = glad_glGetError();
    if (error != GL_NO_ERROR) std::fprintf(stderr, "ERROR %d in %s\n", error, name);
}

void PrintGlfwError(int code, const char* description)
{
    std::fprintf(stderr, "GLFW error %d: %s\n", code, description);
}

void KeyCallback(GLFWwindow*, int key, int, int action, int)
{
    Input::Get()->OnKey(key, action);
}

void MouseButtonCallback(GLFWwindow*, int button, int action, int)
{
    Input::Get()->OnMouseButton(button, action);
}

void CursorCallback(GLFWwindow*, double x, double y)
{
    Input::Get()->OnCursor(x, y);
}

void ScrollCallback(GLFWwindow*, double, double y)
{
    Input::Get()->OnScroll(y);
}

void JoystickCallback(int joystick, int event)
{
    if (Input::Exists()) Input::Get()->OnJoystick(joystick, event);
}

void FramebufferSizeCallback(GLFWwindow*, int width, int height)
{
    if (Window::Exists()) Window::Get()->Resized(width, height);
}

} // namespace

Window* Window::Start(const RunOptions& options)
{
    if (Exists()) return Get();
    if (options.headless && !options.screenshots.empty())
        throw GameError("--screenshot needs a window: it cannot be used with --headless");
    Window* window = Publish(std::unique_ptr<Window>(new Window(options)));
    if (options.headless) {
        window->Resized(kHeadlessMonitorWidth, kHeadlessMonitorHeight);
    } else {
        window->OpenWindow();
        window->InstallCallbacks();
        int w = 0, h = 0;
        glfwGetFramebufferSize(window->handle_, &w, &h);
        window->Resized(w, h);
    }
    if (options.windowed) window->ToggleFullscreen();
    return window;
}

Window::Window(const RunOptions& options) : screenshots(options.screenshots) {}

Window::~Window()
{
    Close();
}

void Window::OpenWindow()
{
    glfwSetErrorCallback(PrintGlfwError);
    if (!glfwInit()) throw GameError("OpenGL Failed to initialize.");
    glfwStarted_ = true;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    monitor_ = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor_ ? glfwGetVideoMode(monitor_) : nullptr;
    if (!mode) throw GameError("OpenGL Failed to create window.");
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
    glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
    glfwWindowHint(GLFW_AUTO_ICONIFY, GLFW_TRUE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
    // Borderless and one pixel taller than the monitor: covers it without taking it over.
    handle_ = glfwCreateWindow(mode->width, mode->height + 1, "Volleyrun", nullptr, nullptr);
    if (!handle_) throw GameError("OpenGL Failed to create window.");
    glfwMakeContextCurrent(handle_);
    gladSetGLPostCallback(PrintGlError);
    if (!gladLoadGL(glfwGetProcAddress)) throw GameError("GLAD failed to initialize");
    glfwSwapInterval(1);
    glfwSetInputMode(handle_, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);  // the game draws its own cursor
}

void Window::InstallCallbacks()
{
    glfwSetKeyCallback(handle_, KeyCallback);
    glfwSetCursorPosCallback(handle_, CursorCallback);
    glfwSetMouseButtonCallback(handle_, MouseButtonCallback);
    glfwSetScrollCallback(handle_, ScrollCallback);
    glfwSetJoystickCallback(JoystickCallback);
    Input::Get()->AttachPlatform(true);
    glfwSetFramebufferSizeCallback(handle_, FramebufferSizeCallback);
}

// Also after a failed start: whatever was opened is closed, the pads detached first.
void Window::Close()
{
    if (handle_) glfwDestroyWindow(handle_);
    handle_ = nullptr;
    if (Input::Exists()) Input::Get()->AttachPlatform(false);
    if (glfwStarted_) {
        glfwSetJoystickCallback(nullptr);
        glfwTerminate();
        glfwStarted_ = false;
    }
}

void Window::Resized(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    if (onResize) onResize(newWidth, newHeight);
}

bool Window::CloseRequested() const
{
    return handle_ && glfwWindowShouldClose(handle_);
}

double Window::Seconds() const
{
    return handle_ ? glfwGetTime() : 0.0;
}

void Window::ToggleFullscreen()
{
    fullscreen = !fullscreen;
    const GLFWvidmode* mode = monitor_ ? glfwGetVideoMode(monitor_) : nullptr;
    int modeWidth = mode ? mode->width : kHeadlessMonitorWidth;
    int modeHeight = mode ? mode->height : kHeadlessMonitorHeight;
    int refresh = mode ? mode->refreshRate : kHeadlessRefreshRate;
    if (fullscreen) {
        placement = {true, 0, 0, modeWidth, modeHeight, refresh};
    } else {
        placement = {false, 10, 40, static_cast<int>(modeWidth * kWindowedShare),
                     static_cast<int>(modeHeight * kWindowedShare), refresh};
    }
    if (handle_) {
        glfwSetWindowMonitor(handle_, placement.onMonitor ? monitor_ : nullptr, placement.x, placement.y,
                             placement.width, placement.height, placement.refreshRate);
    } else {
        Resized(placement.width, placement.height);  // what the window system would report
    }
}

void Window::UpdateMinimized()
{
    minimized = handle_ && glfwGetWindowAttrib(handle_, GLFW_ICONIFIED) != 0;
}

void Window::SwapBuffers(int64_t frame)
{
    if (!handle_) return;
    for (const ScreenshotRequest& request : screenshots)
        if (request.frame == frame) Screenshot::SaveBackBuffer(request.file, width, height);
    glfwSwapBuffers(handle_);
}

void Window::PollEvents()
{
    PollWindow();
    Input::Get()->PollReplayEvents();
}

void Window::PollWindow()
{
    if (!handle_) return;
    Input* input = Input::Get();
    int64_t now = FrameClock::Get()->Now();
    input->StampBetween(lastWindowPoll_, now);
    glfwPollEvents();
    lastWindowPoll_ = now;
    input->WindowSeenUpTo(now);
}

void Window::WaitForEvents(int64_t until)
{
    constexpr int64_t kPadReadNs = 1'000'000;
    if (!handle_) return;
    FrameClock* clock = FrameClock::Get();
    Input* input = Input::Get();
    PollWindow();
    for (int64_t now = clock->Now(); now < until; now = clock->Now()) {
        bool pads = input->JoystickPresent(0) || input->JoystickPresent(1);
        input->StampArrivals();
        glfwWaitEventsTimeout(static_cast<double>(pads ? std::min(until - now, kPadReadNs) : until - now) / 1e9);
        lastWindowPoll_ = clock->Now();
        input->WindowSeenUpTo(lastWindowPoll_);
        if (pads) input->PollPads();
    }
}

} // namespace volleyrun
