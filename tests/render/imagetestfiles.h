// Test helpers for graphics tests: small PNG files written, screenshots read back.
#pragma once

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // inside stb's PNG reader, seen after inlining
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image.h>
#pragma GCC diagnostic pop
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace volleyrun {

namespace image_test_files {

using Rgba = std::array<uint8_t, 4>;

// An 8-bit RGBA PNG of width x height whose pixel (x, y from the top) is colour(x, y).
inline void WritePng(const std::filesystem::path& path, int width, int height,
                     const std::function<Rgba(int, int)>& colour = [](int, int) { return Rgba{255, 255, 255, 255}; })
{
    std::filesystem::create_directories(path.parent_path());
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgba c = colour(x, y);
            pixels.insert(pixels.end(), c.begin(), c.end());
        }
    stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4);
}

struct AtlasRegion { std::string name; int x, y, w, h, index; };

// One page of an ".atlas" description in the common packer layout, regions in the order given.
inline std::string AtlasPage(const std::string& page, int width, int height, const std::vector<AtlasRegion>& regions)
{
    auto pair = [](int a, int b) { return std::to_string(a) + ", " + std::to_string(b); };
    std::string text = page + "\nsize: " + std::to_string(width) + "," + std::to_string(height) +
                       "\nformat: RGBA8888\nfilter: Nearest,Nearest\nrepeat: none\n";
    for (const AtlasRegion& r : regions)
        text += r.name + "\n  rotate: false\n  xy: " + pair(r.x, r.y) + "\n  size: " + pair(r.w, r.h) +
                "\n  orig: " + pair(r.w, r.h) + "\n  offset: 0, 0\n  index: " + std::to_string(r.index) + "\n";
    return text;
}

// A decoded picture (RGB), for looking at screenshots.
class Picture {
public:
    explicit Picture(const std::string& path)
    {
        if (unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, STBI_rgb)) {
            pixels.assign(data, data + static_cast<size_t>(width * height * 3));
            stbi_image_free(data);
        }
    }
    bool Loaded() const { return !pixels.empty(); }
    std::array<int, 3> At(int x, int y) const
    {
        const uint8_t* p = &pixels[static_cast<size_t>((y * width + x) * 3)];
        return {p[0], p[1], p[2]};
    }
    // How many pixels in the rectangle satisfy test.
    int Count(int x0, int y0, int x1, int y1, const std::function<bool(std::array<int, 3>)>& test) const
    {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) count += test(At(x, y)) ? 1 : 0;
        return count;
    }

    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> pixels;
};

// The mean colour of the world rectangle centred on (x, y) in a screenshot of the whole letterboxed view, and how
// many of its pixels are bright (all channels above 200: text).
struct Region { std::array<int, 3> mean{0, 0, 0}; int bright = 0; };

inline Region Measure(const Picture& picture, double x, double y, double halfWidth, double halfHeight)
{
    const double perUnit = std::min(picture.width / 1066.67, picture.height / 533.33);
    auto column = [&](double wx) { return static_cast<int>(picture.width / 2 + wx * perUnit); };
    auto row = [&](double wy) { return static_cast<int>(picture.height / 2 - wy * perUnit); };
    Region region;
    long sum[3] = {0, 0, 0}, count = 0;
    for (int py = row(y + halfHeight); py < row(y - halfHeight); ++py)
        for (int px = column(x - halfWidth); px < column(x + halfWidth); ++px, ++count) {
            std::array<int, 3> c = picture.At(px, py);
            for (int i = 0; i < 3; ++i) sum[i] += c[i];
            region.bright += c[0] > 200 && c[1] > 200 && c[2] > 200;
        }
    for (int i = 0; i < 3 && count > 0; ++i) region.mean[i] = static_cast<int>(sum[i] / count);
    return region;
}

} // namespace image_test_files

} // namespace volleyrun
