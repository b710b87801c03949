// Inputs that once crashed a reader under the fuzzers (fuzz/regressions/<reader>/) now end in an error naming the file.
#include "audiotestcontent.h"
#include "gameerror.h"
#include "imagetestfiles.h"
#include "jsonfile.h"
#include "replay.h"
#include "space.h"
#include "studiosound.h"
#include "studiosounddecoder.h"
#include "studiosystem.h"
#include "testcontent.h"
#include "texturestore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace volleyrun {

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing_content::EngineTest;
using testing_content::ReadText;
using testing_content::TempContent;
using testing_content::WriteText;

std::vector<fs::path> Regressions(const std::string& reader)
{
    const fs::path folder = fs::path(VOLLEYRUN_SOURCE_DIR) / "fuzz" / "regressions" / reader;
    std::vector<fs::path> files(fs::directory_iterator(folder), {});
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty()) << folder;  // a stored input moved away would pass unseen
    return files;
}

template <class Step>
std::string ErrorOf(Step&& step)
{
    try {
        step();
    } catch (const GameError& error) {
        return error.what();
    }
    return "(no error)";
}

// Each saved grid or atlas description beside its image (and the pages an atlas names).
TEST(DescriptionRegressionTest, GridsAndAtlasesWhoseCellsOverflowACountAreRefused)
{
    TempContent content;
    const fs::path textures = content.root / "Textures";
    for (auto [name, width, height] : {std::tuple{"Sheet.png", 8, 4}, {"page.png", 64, 32}, {"page2.png", 16, 16}})
        image_test_files::WritePng(textures / name, width, height);
    for (auto [reader, description] : {std::pair{"grid", "Sheet.txt"}, std::pair{"atlas", "Sheet.atlas"}}) {
        for (const fs::path& file : Regressions(reader)) {
            WriteText(textures / description, ReadText(file));
            std::string error = ErrorOf([&] { TextureStore::Start()->LoadDirectory(textures, false); });
            EXPECT_THAT(error, HasSubstr((textures / description).string())) << file;
            fs::remove(textures / description);
        }
    }
    TextureStore::Destroy();
}

// A million nested arrays parse without exhausting the stack, zeros with exponents read as zero (they once read as
// huge numbers), and a file above the size limit is refused unread.
TEST(JsonRegressionTest, DeepNestingParsesZerosWithExponentsReadAsZeroAndOversizedFilesAreNotRead)
{
    TempContent content;
    fs::path file = content.root / "json.txt";
    rapidjson::Document document;
    std::string error;
    const size_t depth = 1000000;
    WriteText(file, std::string(depth, '[') + std::string(depth, ']'));
    ASSERT_EQ(JsonFile::Read(file.string(), document), JsonFile::ReadResult::kOk);
    EXPECT_TRUE(document.IsArray());
    WriteText(file, std::string(depth, '['));
    EXPECT_EQ(JsonFile::Read(file.string(), document, &error), JsonFile::ReadResult::kUnparsable);
    EXPECT_THAT(error, HasSubstr("offset " + std::to_string(depth)));

    WriteText(file, "[0e38, -0.0E-400, 0.000000000000000000000000000, 0.0e300, \"0e38\", 1e38, 0.5e-30, 0]");
    ASSERT_EQ(JsonFile::Read(file.string(), document), JsonFile::ReadResult::kOk);
    const auto& list = document.GetArray();
    for (rapidjson::SizeType i = 0; i < 4; ++i) EXPECT_TRUE(list[i].IsDouble() && list[i].GetDouble() == 0.0) << i;
    EXPECT_TRUE(std::signbit(list[1].GetDouble()) && list[7].IsInt());
    EXPECT_STREQ(list[4].GetString(), "0e38");
    EXPECT_EQ(std::pair(list[5].GetDouble(), list[6].GetDouble()), std::pair(1e38, 0.5e-30));
    WriteText(file, "[0e38 x]");  // offsets in messages stay those of the file as written
    EXPECT_EQ(JsonFile::Read(file.string(), document, &error), JsonFile::ReadResult::kUnparsable);
    EXPECT_THAT(error, HasSubstr("offset 6"));
    fs::resize_file(file, JsonFile::kMaxBytes + 1);  // sparse: a file too large to read is never read
    EXPECT_EQ(JsonFile::Read(file.string(), document, &error), JsonFile::ReadResult::kUnparsable);
    EXPECT_EQ(error, "larger than the limit of 64 MiB");
}

using SpaceRegressionTest = EngineTest;

// Numbers sizing a loop or an allocation, and Floats beyond float, are refused naming file, member and limit (an
// emitter's combined pool names its entity), as are overlong or too deep spaces; other inputs load or name their file.
TEST_F(SpaceRegressionTest, EveryStoredSpaceInputLoadsOrIsRefusedNamingFileMemberAndLimit)
{
    const std::map<std::string, std::string> reasons = {
        {"layer-beyond-float.txt", "member \"zLayer\" must be a number within the range of float"},
        {"float-member-beyond-float.txt", "member \"scaleX\" must be a number within the range of float"},
        {"divider-denominator.txt", "member \"denominator\" is 4000000000, above its limit of 64"},
        {"particle-count.txt", "member \"initCount\" is 2000000000, above its limit of 10000"},
        {"particle-rate.txt", "member \"spawnsPerMinute\" is 2000000000, above its limit of 600000"},
        {"particle-lifetime.txt", "\"sparks\", component \"ParticleEmitter\": initCount + spawnsPerMinute"},
    };
    std::string many = "{\"zLayer\": 0, \"entities\": [{}";
    for (rapidjson::SizeType i = 0; i < Space::kMaxEntities; ++i) many += ", {}";
    content.Space("Many", many + "]}");
    content.Space("Deep", "{\"zLayer\": 0, \"entities\": " + std::string(1000000, '[') + std::string(1000000, ']') + "}");
    Start();
    EXPECT_THAT(ErrorOf([this] { Make("Many"); }), HasSubstr("Many.txt: member \"entities\" holds 10001 entities"));
    EXPECT_THAT(ErrorOf([this] { Make("Deep"); }), testing::AllOf(HasSubstr("Deep.txt"), HasSubstr("must be a JSON object")));
    size_t refused = 0;
    for (const fs::path& file : Regressions("space")) {
        SCOPED_TRACE(file.filename().string());
        content.Space("Bad", ReadText(file));
        std::string error = ErrorOf([this] { Make("Bad"); Frames(3); });  // the frames initialise it
        EXPECT_THAT(error, testing::AnyOf("(no error)", HasSubstr("Bad.txt")));
        if (auto reason = reasons.find(file.filename().string()); reason != reasons.end()) {
            EXPECT_THAT(error, HasSubstr(reason->second));
            ++refused;
        }
        if (Space* loaded = Engine::Get()->FindSpace("Bad")) Engine::Get()->events->Send(DestroySpaceEvent(loaded));
    }
    EXPECT_EQ(refused, reasons.size()) << "a stored input named above is gone";
}

TEST(ReplayRegressionTest, OverlongLinesAreRefusedNamingTheLineAndTheLimit)
{
    for (const fs::path& file : Regressions("replay"))
        EXPECT_THAT(ErrorOf([&file] { Replay::Parse(ReadText(file), file.string()); }),
                    HasSubstr(file.string() + ": line 1 is longer than the limit of 1024 characters"));
}

// Sounds at 1 Hz or linked from outside the sound folder, and banks whose times, tempos or sound names once overflowed,
// are refused naming the file; non-finite samples play as silence, said once; a tempo at each end of the range loads.
TEST(AudioRegressionTest, AbsurdSoundsAndBanksAreRefusedAndNonFiniteSamplesSilenced)
{
    TempContent content;
    audio_content::AudioFolder audio(content.root);
    audio.Sound("slow.wav", 1, 1, audio_content::Constant(60, 1, 0.25f));
    audio.Sound("mono.wav", 22050, 1, audio_content::Constant(2205, 1, 0.25f));
    std::vector<float> noisy = audio_content::Constant(4410, 1, 0.25f);
    noisy[10] = std::nanf("");
    noisy[3000] = -INFINITY;
    audio.Sound("noisy.wav", 44100, 1, noisy);
    StudioSound::Shape shape;
    std::string problem;
    EXPECT_EQ(StudioSound::Probe((audio.Sounds() / "slow.wav").string(), 48000, &shape, &problem), STUDIO_ERR_FILE_BAD);
    EXPECT_EQ(problem, "has a sample rate of 1 Hz (1000 to 384000 allowed)");
    ASSERT_EQ(StudioSound::Probe((audio.Sounds() / "noisy.wav").string(), 44100, &shape, &problem), STUDIO_OK);
    auto sound = StudioSound::Create((audio.Sounds() / "noisy.wav").string(), shape);
    StudioSoundDecoder decoder(sound, 44100);
    testing::internal::CaptureStdout();
    while (decoder.Step(1000, &problem)) continue;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              sound->path + ": samples that are not finite numbers are played as silence\n");
    EXPECT_EQ(std::pair(sound->Samples()[10] + sound->Samples()[3000], sound->Samples()[11]), std::pair(0.0f, 0.25f));

    fs::copy_file(audio.Sounds() / "noisy.wav", content.root / "outside.wav");
    fs::create_symlink(content.root / "outside.wav", audio.Sounds() / "escape.wav");
    fs::create_directories(audio.Sounds() / "sub");  // as the fuzzer's sound folder has one
    StudioSystem* studio = nullptr;
    ASSERT_EQ(StudioSystem::Create(&studio), STUDIO_OK);
    ASSERT_EQ(studio->Initialize(8), STUDIO_OK);
    StudioBank* loaded = nullptr;
    EXPECT_NE(studio->LoadBankFile(audio.Bank("escape.json", R"({"path": "event:/E", "tracks": [{"sound": "escape.wav"}]})"),
                                   &loaded), STUDIO_OK);
    EXPECT_THAT(studio->LastError(), HasSubstr("\"escape.wav\" must name a file inside the sound folder"));
    for (const fs::path& file : Regressions("bank")) {
        fs::path bank = audio.Banks() / file.filename();
        WriteText(bank, ReadText(file));
        StudioResult result = studio->LoadBankFile(bank.string(), &loaded);
        EXPECT_TRUE(result == STUDIO_ERR_FILE_BAD || result == STUDIO_ERR_FILE_NOTFOUND) << file;
        EXPECT_THAT(studio->LastError(), HasSubstr("Bank " + bank.string() + ": ")) << file;
    }
    for (std::string tempo : {"0.001", "60000"}) {
        std::string json = "{\"path\": \"event:/T" + tempo + "\", \"tempo\": " + tempo +
                           ", \"length\": 86400, \"tracks\": [{\"sound\": \"mono.wav\"}]}";
        EXPECT_EQ(studio->LoadBankFile(audio.Bank("tempo" + tempo + ".json", json), &loaded), STUDIO_OK) << studio->LastError();
    }
    studio->Release();
}

} // namespace

} // namespace volleyrun
