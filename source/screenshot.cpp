#include "screenshot.h"

#include "gameerror.h"

#include <glad/gl.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include <vector>

void Screenshot::SaveBackBuffer(const std::string& path, int width, int height)
{
    if (width <= 0 || height <= 0) throw GameError("Could not save screenshot " + path + ": the window has no pixels");
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    // GL rows run bottom to top; the file's run top to bottom.
    stbi_flip_vertically_on_write(1);
    int written = stbi_write_png(path.c_str(), width, height, 3, pixels.data(), width * 3);
    stbi_flip_vertically_on_write(0);
    if (!written) throw GameError("Could not save screenshot " + path);
}
