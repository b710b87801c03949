#include "screenshot.h"

#include "gameerror.h"
#include "outputfile.h"

#include <glad/gl.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include <string>
#include <vector>

namespace volleyrun {

void Screenshot::SaveBackBuffer(const std::string& path, int width, int height)
{
    if (width <= 0 || height <= 0) throw GameError("Could not save screenshot " + path + ": the window has no pixels");
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    // GL rows run bottom to top; the file's run top to bottom.
    // Encoded in memory, so that the file is written (and every write checked) in one place.
    std::string png;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<char*>(data), static_cast<size_t>(size));
    };
    stbi_flip_vertically_on_write(1);
    int encoded = stbi_write_png_to_func(append, &png, width, height, 3, pixels.data(), width * 3);
    stbi_flip_vertically_on_write(0);
    if (!encoded) throw GameError("Could not save screenshot " + path + ": the picture could not be encoded");
    OutputFile::WriteWhole(path, png, OutputFile::Kind::kRunOutput);
}

} // namespace volleyrun
