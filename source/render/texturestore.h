// TextureStore: the texture table (every image under "Textures/", keyed by file name) and
// the grid quads the images are drawn with. The engine starts it before the graphics,
// which fill it (LoadTextureDirectory), and destroys it after them; sprites, text, particles
// and gameplay read it through FindTexture, FrameUV and PageTexture. Headless runs decode
// every image for its size and frame count but make no GL call. Game thread only.
#pragma once

#include "imagedecoder.h"
#include "service.h"
#include "sheetpacker.h"
#include "texture.h"

#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace volleyrun {

// The unit quad's texture span: one grid cell, (0, 0) to (u, v), v counted upward.
struct GridQuad {
    int32_t columns = 1;  // truncated from the requested (possibly fractional) count
    int32_t rows = 1;
    float u = 1.0f;       // 1 / the requested column count
    float v = 1.0f;       // 1 / the requested row count
};

class TextureStore : public Service<TextureStore> {
public:
    static constexpr const char* kServiceName = "the texture table";

    static TextureStore* Start();
    static void Destroy();
    // Changes whenever the table is refilled or destroyed, so cached Texture pointers
    // (sprites keep one) know when to look again.
    static uint64_t Generation();

    // Replaces the table with every image under directory. upload false: headless.
    // A missing directory leaves an empty table; an image that cannot be decoded, one
    // larger than the driver's largest texture, an atlas page outside directory or a
    // description that cannot be read throws GameError naming the file.
    void LoadDirectory(const std::filesystem::path& directory, bool upload);

    // The entry for name, else "default.png", else a built-in plain white texture.
    Texture& Find(const std::string& name);
    bool Contains(const std::string& name) const { return table_.count(name) != 0; }
    size_t Size() const { return table_.size(); }
    std::vector<std::string> Names() const;  // every image name, sorted

    uint32_t GetGridQuad(float columns, float rows);
    const GridQuad& Quad(uint32_t index) const;
    size_t QuadCount() const { return quads_.size(); }

    // Every file under directory in visiting order: each description directly after the
    // image of the same name in the same folder; same-named images ordered by path, so
    // the later path wins the table entry. Hidden files are skipped.
    static std::vector<std::filesystem::path> ScanOrder(const std::filesystem::path& directory);

private:
    // A texture whose description is read and whose page images are still to be loaded.
    struct Planned {
        Texture texture;
        std::vector<std::filesystem::path> pages;
    };

    TextureStore();
    void Reset(bool upload);
    std::vector<Planned> Plan(const std::filesystem::path& directory);
    Planned PlanImage(const std::filesystem::path& image, const std::string& gridPath);
    Planned PlanAtlas(const std::filesystem::path& image, const std::filesystem::path& atlasPath);
    void ReadSizes(std::vector<Planned>& plan) const;
    void DecodeAndUpload(std::vector<Planned>& plan);
    static int32_t LargestTexture();  // the driver's GL_MAX_TEXTURE_SIZE
    static int32_t SheetSize();
    static glm::vec4 PlaceOnSheet(uint32_t sheetTexture, const ImageDecoder::Image& image,
                                  const SheetPacker::Place& place, const SheetPacker::Size& sheet);
    // A new GL texture of the pixels, or of undefined texels when pixels is null.
    uint32_t UploadPixels(const unsigned char* pixels, int width, int height);

    static constexpr int32_t kGutter = 1;          // texels around each image on a sheet
    static constexpr int32_t kLargestSheet = 8192; // even where the driver allows more

    std::unordered_map<std::string, Texture> table_;  // node-based: entries never move
    std::vector<GridQuad> quads_;
    Texture fallback_;  // shown for unknown names when there is no "default.png"
    std::filesystem::path directory_;
    bool upload_ = false;
};

// The engine's names for the table's operations.
void LoadTextureDirectory();  // the content's "Textures" folder, headless as the run says
Texture& FindTexture(const std::string& name);
uint32_t GetGridQuad(float columns, float rows);
// Texture-coordinate offset of the texture's frame; records the frame in the texture.
glm::vec2 FrameUV(Texture& texture, uint32_t frame);
// FrameUV's offset of the texture's currentFrame moved inside its page, as wrapping round
// the page's own texture once did: u from the page's left, v up from its bottom edge. A
// page shares its GL texture (a sheet) with other images, so nothing may wrap there.
glm::vec2 PageUV(const Texture& texture);
// The size of the frame relative to the texture's first frame: (1, 1) unless atlas.
glm::vec2 FrameUVScale(const Texture& texture, uint32_t frameIndex);
// The GL texture of the page holding the texture's currentFrame (a sheet many images share).
uint32_t PageTexture(const Texture& texture);
// Where that page lies in its GL texture: x, y, width, height as fractions of it, y down.
glm::vec4 PagePlace(const Texture& texture);

} // namespace volleyrun
