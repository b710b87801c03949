#include "texturestore.h"

#include "filecheck.h"
#include "gameerror.h"
#include "imagedecoder.h"
#include "jsonfile.h"
#include "log.h"
#include "runoptions.h"
#include "sheetpacker.h"

#include <glad/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace volleyrun {

namespace fs = std::filesystem;

namespace {
uint64_t generation = 1;

bool IsDescriptor(const fs::path& path)
{
    return path.extension() == ".txt" || path.extension() == ".atlas";
}

// The folder and name without extension: what pairs a description with its image.
std::string Stem(const fs::path& path)
{
    return (path.parent_path() / path.stem()).string();
}

// "data": [columns, rows, frame count] of a grid description.
struct GridData {
    int columns = 1;
    int rows = 1;
    int frames = 1;
};

GridData ReadGridData(const std::string& path, const rapidjson::Document& document)
{
    const char* shape = ": needs an object whose member \"data\" holds at least three integers (columns, rows, frame count)";
    if (!document.IsObject()) throw GameError(path + shape);
    auto data = document.FindMember("data");
    if (data == document.MemberEnd() || !data->value.IsArray() || data->value.Size() < 3) throw GameError(path + shape);
    const auto& list = data->value;
    for (rapidjson::SizeType i = 0; i < 3; ++i)
        if (!list[i].IsInt()) throw GameError(path + shape);
    GridData grid{list[0].GetInt(), list[1].GetInt(), list[2].GetInt()};
    if (grid.columns <= 0 || grid.rows <= 0) throw GameError(path + ": a grid needs at least one column and one row");
    // Grid quads keep their counts as floats, which hold whole numbers exactly up to 2^24.
    constexpr int kMaxColumnsOrRows = 1 << 24;
    if (grid.columns > kMaxColumnsOrRows || grid.rows > kMaxColumnsOrRows)
        throw GameError(path + ": a grid has at most " + std::to_string(kMaxColumnsOrRows) + " columns and rows");
    if (grid.frames < 0) throw GameError(path + ": the frame count cannot be negative");
    if (grid.frames == 0) {
        int64_t cells = static_cast<int64_t>(grid.columns) * grid.rows;
        if (cells > INT32_MAX) throw GameError(path + ": a frame count of 0 means every cell, and this grid has too many");
        grid.frames = static_cast<int>(cells);
    }
    return grid;
}

} // namespace

TextureStore* TextureStore::Start()
{
    if (Exists()) return Get();
    return Publish(std::unique_ptr<TextureStore>(new TextureStore()));
}

void TextureStore::Destroy()
{
    Service::Destroy();
    ++generation;
}

uint64_t TextureStore::Generation()
{
    return generation;
}

TextureStore::TextureStore()
{
    Reset(false);
}

void TextureStore::Reset(bool upload)
{
    ++generation;
    table_.clear();
    quads_.clear();
    upload_ = upload;
    fallback_ = Texture();
    fallback_.gridQuad = GetGridQuad(1.0f, 1.0f);
    fallback_.width = fallback_.height = 1;
    fallback_.channels = 4;
    const unsigned char white[4] = {255, 255, 255, 255};
    fallback_.pageTextures = {upload_ ? UploadPixels(white, 1, 1) : 0u};
    fallback_.pagePlaces = {glm::vec4(0.0f, 0.0f, 1.0f, 1.0f)};
}

std::vector<fs::path> TextureStore::ScanOrder(const fs::path& directory)
{
    std::vector<fs::path> paths;
    std::error_code error;
    for (fs::recursive_directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code unreadable;  // a link to nowhere, a link loop
        if (path.filename().string().front() == '.') {
            // Version-control markers, editor swap files and unfinished saves are not content.
            if (it->is_directory(unreadable)) it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(unreadable) && !path.extension().empty()) paths.push_back(path);
        else if (unreadable) Log::Write(path.string() + ": skipped, it cannot be opened: " + unreadable.message() + "\n");
    }
    if (error && error != std::errc::no_such_file_or_directory)
        throw GameError(directory.string() + ": the texture folder cannot be read: " + error.message());
    std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
        std::string stemA = Stem(a), stemB = Stem(b);
        if (stemA != stemB) return stemA < stemB;
        if (IsDescriptor(a) != IsDescriptor(b)) return IsDescriptor(b);
        return a.string() < b.string();
    });
    return paths;
}

void TextureStore::LoadDirectory(const fs::path& directory, bool upload)
{
    Reset(upload);
    directory_ = directory;
    std::vector<Planned> plan = Plan(directory);
    if (upload_) DecodeAndUpload(plan);
    else ReadSizes(plan);
    // In visiting order, so that of two images with one name the later one stays.
    for (Planned& planned : plan) table_[planned.texture.name] = std::move(planned.texture);
}

std::vector<TextureStore::Planned> TextureStore::Plan(const fs::path& directory)
{
    std::vector<Planned> plan;
    fs::path pending;
    for (const fs::path& path : ScanOrder(directory)) {
        if (!IsDescriptor(path)) {
            if (!pending.empty()) plan.push_back(PlanImage(pending, ""));
            pending = path;
            continue;
        }
        if (pending.empty() || Stem(pending) != Stem(path))
            throw GameError(path.string() + ": a description needs an image of the same name beside it");
        if (path.extension() == ".atlas") plan.push_back(PlanAtlas(pending, path));
        else plan.push_back(PlanImage(pending, path.string()));  // plain when the description cannot be opened
        pending.clear();
    }
    if (!pending.empty()) plan.push_back(PlanImage(pending, ""));
    return plan;
}

TextureStore::Planned TextureStore::PlanImage(const fs::path& image, const std::string& gridPath)
{
    GridData grid;
    if (!gridPath.empty()) {
        rapidjson::Document document;
        std::string parseError;
        switch (JsonFile::Read(gridPath, document, &parseError)) {
        case JsonFile::ReadResult::kUnopenable: break;  // stays a plain image
        case JsonFile::ReadResult::kUnparsable: throw GameError(gridPath + ": not valid JSON: " + parseError);
        case JsonFile::ReadResult::kOk: grid = ReadGridData(gridPath, document); break;
        }
    }
    Planned planned;
    Texture& texture = planned.texture;
    texture.name = image.filename().string();
    texture.frameCount = static_cast<uint32_t>(grid.frames);
    texture.gridQuad = GetGridQuad(static_cast<float>(grid.columns), static_cast<float>(grid.rows));
    planned.pages.push_back(image);
    return planned;
}

TextureStore::Planned TextureStore::PlanAtlas(const fs::path& image, const fs::path& atlasPath)
{
    Planned planned;
    Texture& texture = planned.texture;
    texture.name = image.filename().string();  // the image itself is never decoded: its pages are
    texture.atlas = Atlas::Parse(atlasPath.string());
    const Atlas& atlas = texture.atlas;
    float columns = atlas.size.x / atlas.frames[0].size.x;
    float rows = atlas.size.y / atlas.frames[0].size.y;
    if (!std::isfinite(columns) || !std::isfinite(rows) || columns <= 0.0f || rows <= 0.0f)
        throw GameError(atlasPath.string() + ": the page size and the first region's size give no grid (zero columns or rows)");
    constexpr float kFirstUncountable = 2147483648.0f;  // 2^31: grid quads count cells in int32
    if (columns >= kFirstUncountable || rows >= kFirstUncountable)
        throw GameError(atlasPath.string() + ": the page size and the first region's size give too many columns or rows");
    texture.gridQuad = GetGridQuad(columns, rows);
    texture.frameCount = static_cast<uint32_t>(atlas.frames.size());
    for (const std::string& page : atlas.pages) {
        planned.pages.push_back(atlasPath.parent_path() / page);
        FileCheck::RequireInside(directory_.string(), planned.pages.back().string(), "the page \"" + page + "\" of " + atlasPath.string());
    }
    return planned;
}

void TextureStore::ReadSizes(std::vector<Planned>& plan) const
{
    // Without a context only sizes and channel counts are needed: the headers hold them.
    for (Planned& planned : plan) {
        Texture& texture = planned.texture;
        for (const fs::path& page : planned.pages) {
            std::string error;
            if (!ImageDecoder::ReadHeader(page.string(), texture.width, texture.height, texture.channels, error))
                throw GameError("the image " + texture.name + " failed to load in (" + page.string() + ": " + error + ")");
            texture.pageTextures.push_back(0u);
            texture.pagePlaces.emplace_back(0.0f, 0.0f, 1.0f, 1.0f);
        }
    }
}

// Images share a few large textures (sheets), so a sprite batch rarely changes texture. A
// gutter of transparent texels keeps each image's edge from reaching its neighbours.
void TextureStore::DecodeAndUpload(std::vector<Planned>& plan)
{
    std::vector<std::string> files;
    std::vector<SheetPacker::Size> sizes;
    const int32_t largest = LargestTexture();
    for (const Planned& planned : plan) {
        for (const fs::path& page : planned.pages) {
            files.push_back(page.string());
            int width = 0, height = 0, channels = 0;
            std::string ignored;  // an unreadable image fails below, with the decoder's reason
            if (!ImageDecoder::ReadHeader(files.back(), width, height, channels, ignored)) {
                sizes.push_back({0, 0});
                continue;
            }
            if (width > largest || height > largest)
                throw GameError("the image " + planned.texture.name + " (" + files.back() + ") is " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels, larger than the " + std::to_string(largest) +
                                " the graphics driver can show");
            sizes.push_back({width + 2 * kGutter, height + 2 * kGutter});
        }
    }
    // The images decode on the workers while this thread makes the sheets (the driver
    // clears every new texture) and then uploads each image as it comes.
    ImageDecoder decoder(std::move(files));
    SheetPacker packer(sizes, SheetSize());
    std::vector<uint32_t> sheets;
    for (const SheetPacker::Size& sheet : packer.Sheets()) sheets.push_back(UploadPixels(nullptr, sheet.width, sheet.height));
    size_t index = 0;
    for (Planned& planned : plan) {
        Texture& texture = planned.texture;
        for (const fs::path& page : planned.pages) {
            std::unique_ptr<ImageDecoder::Image> image = decoder.Next();
            if (!image->pixels)
                throw GameError("the image " + texture.name + " failed to load in (" + page.string() + ": " + image->error + ")");
            texture.width = image->width;
            texture.height = image->height;
            texture.channels = image->channels;
            const SheetPacker::Place& place = packer.Places()[index];
            const SheetPacker::Size& packed = sizes[index++];
            if (place.sheet < 0 || packed.width != image->width + 2 * kGutter || packed.height != image->height + 2 * kGutter) {
                texture.pageTextures.push_back(UploadPixels(image->pixels, image->width, image->height));
                texture.pagePlaces.emplace_back(0.0f, 0.0f, 1.0f, 1.0f);
                continue;
            }
            const SheetPacker::Size& sheet = packer.Sheets()[static_cast<size_t>(place.sheet)];
            texture.pageTextures.push_back(sheets[static_cast<size_t>(place.sheet)]);
            texture.pagePlaces.push_back(PlaceOnSheet(texture.pageTextures.back(), *image, place, sheet));
        }
    }
}

int32_t TextureStore::LargestTexture()
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return largest;
}

int32_t TextureStore::SheetSize()
{
    return std::clamp<int32_t>(LargestTexture(), 64, kLargestSheet);
}

// Copies the image into the sheet inside its gutter, clears the gutter (a new texture's
// texels are undefined) and returns where the image lies: x, y, width, height as fractions
// of the sheet, y counted down from its top row.
glm::vec4 TextureStore::PlaceOnSheet(uint32_t sheetTexture, const ImageDecoder::Image& image,
                                     const SheetPacker::Place& place, const SheetPacker::Size& sheet)
{
    const int w = image.width, h = image.height, g = kGutter;
    // A placed image with its gutter fits a sheet, so one sheet's side of zeros always does.
    static const std::vector<unsigned char> zeros(static_cast<size_t>(kLargestSheet) * kGutter * 4, 0);
    glBindTexture(GL_TEXTURE_2D, sheetTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, place.x, place.y, w + 2 * g, g, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
    glTexSubImage2D(GL_TEXTURE_2D, 0, place.x, place.y + g + h, w + 2 * g, g, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
    glTexSubImage2D(GL_TEXTURE_2D, 0, place.x, place.y + g, g, h, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
    glTexSubImage2D(GL_TEXTURE_2D, 0, place.x + g + w, place.y + g, g, h, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
    glTexSubImage2D(GL_TEXTURE_2D, 0, place.x + g, place.y + g, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels);
    glm::vec2 extent(static_cast<float>(sheet.width), static_cast<float>(sheet.height));
    return {static_cast<float>(place.x + g) / extent.x, static_cast<float>(place.y + g) / extent.y,
            static_cast<float>(w) / extent.x, static_cast<float>(h) / extent.y};
}

uint32_t TextureStore::UploadPixels(const unsigned char* pixels, int width, int height)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // Rows of any width: RGBA rows are always 4-byte aligned, but say so anyway.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    // No mipmaps: both filters are GL_NEAREST, so only level 0 is ever sampled, and building
    // the others took more than half of start-up with a software driver.
    return name;
}

Texture& TextureStore::Find(const std::string& name)
{
    auto found = table_.find(name);
    if (found == table_.end()) found = table_.find("default.png");
    return found == table_.end() ? fallback_ : found->second;
}

std::vector<std::string> TextureStore::Names() const
{
    std::vector<std::string> names;
    for (const auto& [name, texture] : table_) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t TextureStore::GetGridQuad(float columns, float rows)
{
    for (size_t i = 0; i < quads_.size(); ++i)
        if (static_cast<float>(quads_[i].columns) == columns && static_cast<float>(quads_[i].rows) == rows)
            return static_cast<uint32_t>(i);
    quads_.push_back({static_cast<int32_t>(columns), static_cast<int32_t>(rows), 1.0f / columns, 1.0f / rows});
    return static_cast<uint32_t>(quads_.size() - 1);
}

const GridQuad& TextureStore::Quad(uint32_t index) const
{
    GAME_CHECK(index < quads_.size(), "a texture refers to a grid quad that was never made");
    return quads_[index];
}

void LoadTextureDirectory()
{
    const RunOptions& options = RunOptions::Get();
    TextureStore::Get()->LoadDirectory(options.ContentPath("Textures"), !options.headless);
}

Texture& FindTexture(const std::string& name)
{
    return TextureStore::Get()->Find(name);
}

uint32_t GetGridQuad(float columns, float rows)
{
    return TextureStore::Get()->GetGridQuad(columns, rows);
}

glm::vec2 FrameUV(Texture& texture, uint32_t frame)
{
    uint32_t i = frame;
    if (texture.IsAtlas()) {
        const Atlas& atlas = texture.atlas;
        if (i >= atlas.frames.size()) i = 0;
        const AtlasFrame& frame = atlas.frames[i];
        texture.currentFrame = i;
        return {frame.xy.x / atlas.size.x, -(frame.size.y + frame.xy.y) / atlas.size.y};
    }
    // Cell 0 is top left; v is measured upward from the bottom edge of the image.
    const GridQuad& quad = TextureStore::Get()->Quad(texture.gridQuad);
    uint32_t columns = static_cast<uint32_t>(std::max(quad.columns, 1));
    float c = static_cast<float>(columns);
    float r = static_cast<float>(std::max(quad.rows, 1));
    texture.currentFrame = i;
    return {static_cast<float>(i % columns) / c, 1.0f - 1.0f / r - static_cast<float>(i / columns) / r};
}

glm::vec2 PageUV(const Texture& texture)
{
    uint32_t i = texture.currentFrame;
    if (texture.IsAtlas()) {
        const Atlas& atlas = texture.atlas;
        const AtlasFrame& frame = atlas.frames[i < atlas.frames.size() ? i : 0];
        return {frame.xy.x / atlas.size.x, 1.0f - (frame.size.y + frame.xy.y) / atlas.size.y};
    }
    // A cell index past the last row comes round to the top again, row by row.
    const GridQuad& quad = TextureStore::Get()->Quad(texture.gridQuad);
    uint32_t columns = static_cast<uint32_t>(std::max(quad.columns, 1));
    uint32_t rows = static_cast<uint32_t>(std::max(quad.rows, 1));
    float c = static_cast<float>(columns), r = static_cast<float>(rows);
    return {static_cast<float>(i % columns) / c, 1.0f - 1.0f / r - static_cast<float>(i / columns % rows) / r};
}

glm::vec2 FrameUVScale(const Texture& texture, uint32_t frameIndex)
{
    if (!texture.IsAtlas()) return {1.0f, 1.0f};
    const auto& frames = texture.atlas.frames;
    const AtlasFrame& frame = frames[frameIndex < frames.size() ? frameIndex : 0];
    return frame.size / frames[0].size;
}

namespace {

// Which of the texture's pages holds its currentFrame.
size_t PageIndex(const Texture& texture)
{
    if (!texture.IsAtlas()) return 0;
    const auto& frames = texture.atlas.frames;
    const std::string& page = frames[texture.currentFrame < frames.size() ? texture.currentFrame : 0].page;
    const auto& pages = texture.atlas.pages;
    size_t index = static_cast<size_t>(std::find(pages.begin(), pages.end(), page) - pages.begin());
    return index < texture.pageTextures.size() ? index : 0;
}

} // namespace

uint32_t PageTexture(const Texture& texture)
{
    return texture.pageTextures.empty() ? 0 : texture.pageTextures[PageIndex(texture)];
}

glm::vec4 PagePlace(const Texture& texture)
{
    size_t index = PageIndex(texture);
    return index < texture.pagePlaces.size() ? texture.pagePlaces[index] : glm::vec4(0.0f, 0.0f, 1.0f, 1.0f);
}

} // namespace volleyrun
