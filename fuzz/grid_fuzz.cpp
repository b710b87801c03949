// Grid descriptions: the bytes become "Sheet.txt" beside a small "Sheet.png", the texture
// folder is loaded headless as graphics start-up does, and the frames of the resulting
// texture are read as sprites would read them.
#include "fuzzsupport.h"
#include "texturereads.h"

#include "texturestore.h"

namespace volleyrun {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz_support::fs::path folder = [] {
        fuzz_support::fs::path textures = fuzz_support::ScratchRoot("grid") / "Textures";
        fuzz_support::WritePng(textures / "Sheet.png", 8, 4);
        return textures;
    }();
    fuzz_support::WriteBytes(folder / "Sheet.txt", data, size);
    fuzz_support::Refused([] {
        TextureStore::Start()->LoadDirectory(folder, false);
        fuzz_support::ReadFrames("Sheet.png");
    });
    return 0;
}

} // namespace volleyrun
