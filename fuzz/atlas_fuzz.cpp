// Atlas descriptions: the bytes become "Sheet.atlas" beside "Sheet.png" and two page
// images, the texture folder is loaded headless as graphics start-up does, and the
// regions of the resulting texture are read as sprites would read them.
#include "fuzzsupport.h"
#include "texturereads.h"

#include "texturestore.h"

namespace volleyrun {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz_support::fs::path folder = [] {
        fuzz_support::fs::path textures = fuzz_support::ScratchRoot("atlas") / "Textures";
        fuzz_support::WritePng(textures / "Sheet.png", 4, 4);
        fuzz_support::WritePng(textures / "page.png", 64, 32);
        fuzz_support::WritePng(textures / "page2.png", 16, 16);
        return textures;
    }();
    fuzz_support::WriteBytes(folder / "Sheet.atlas", data, size);
    fuzz_support::Refused([] {
        TextureStore::Start()->LoadDirectory(folder, false);
        fuzz_support::ReadFrames("Sheet.png");
    });
    return 0;
}

} // namespace volleyrun
