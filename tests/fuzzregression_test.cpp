// Inputs that once crashed a reader under the fuzzers (kept in fuzz/regressions/<reader>/),
// loaded through the real readers: each must now end in one clear error naming its file.
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

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing_content::EngineTest;
using testing_content::ReadText;
using testing_content::TempContent;
using testing_content::WriteText;

std::vector<fs::path> Regressions(const std::string& reader)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(VOLLEYRUN_SOURCE_DIR) / "fuzz" / "regressions" / reader))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
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

// Each saved description beside its image (and the pages an atlas names), read headless.
class DescriptionRegressionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        image_test_files::WritePng(Textures() / "Sheet.png", 8, 4);
        image_test_files::WritePng(Textures() / "page.png", 64, 32);
        image_test_files::WritePng(Textures() / "page2.png", 16, 16);
    }
    void TearDown() override { TextureStore::Destroy(); }
    fs::path Textures() const { return content.root / "Textures"; }

    TempContent content;
};

TEST_F(DescriptionRegressionTest, GridsAndAtlasesWhoseCellsOverflowACountAreRefused)
{
    for (auto [reader, description] : {std::pair{"grid", "Sheet.txt"}, std::pair{"atlas", "Sheet.atlas"}}) {
        std::vector<fs::path> files = Regressions(reader);
        ASSERT_FALSE(files.empty());
        for (const fs::path& file : files) {
            WriteText(Textures() / description, ReadText(file));
            std::string error = ErrorOf([this] { TextureStore::Get()->LoadDirectory(Textures(), false); });
            EXPECT_THAT(error, HasSubstr((Textures() / description).string())) << file;
            fs::remove(Textures() / description);
        }
    }
}

TEST(JsonNestingTest, AMillionNestedArraysParseWithoutExhaustingTheStack)
{
    TempContent content;
    fs::path file = content.root / "deep.txt";
    const size_t depth = 1000000;
    WriteText(file, std::string(depth, '[') + std::string(depth, ']'));
    rapidjson::Document document;
    ASSERT_EQ(JsonFile::Read(file.string(), document), JsonFile::ReadResult::kOk);
    EXPECT_TRUE(document.IsArray());
    WriteText(file, std::string(depth, '['));
    std::string error;
    EXPECT_EQ(JsonFile::Read(file.string(), document, &error), JsonFile::ReadResult::kUnparsable);
    EXPECT_THAT(error, HasSubstr("offset " + std::to_string(depth)));
}

// The JSON library's full-precision conversion turned such zeros into huge numbers.
TEST(JsonNumberTest, ZerosWithExponentsOrLongFractionsReadAsZero)
{
    TempContent content;
    fs::path file = content.root / "zeros.txt";
    WriteText(file, "[0e38, -0.0E-400, 0.000000000000000000000000000, 0.0e300, \"0e38\", 1e38, 0.5e-30, 0]");
    rapidjson::Document document;
    ASSERT_EQ(JsonFile::Read(file.string(), document), JsonFile::ReadResult::kOk);
    const auto& list = document.GetArray();
    for (rapidjson::SizeType i = 0; i < 4; ++i) {
        EXPECT_TRUE(list[i].IsDouble()) << i;
        EXPECT_EQ(list[i].GetDouble(), 0.0) << i;
    }
    EXPECT_TRUE(std::signbit(list[1].GetDouble()));
    EXPECT_STREQ(list[4].GetString(), "0e38");
    EXPECT_EQ(list[5].GetDouble(), 1e38);
    EXPECT_EQ(list[6].GetDouble(), 0.5e-30);
    EXPECT_TRUE(list[7].IsInt());

    WriteText(file, "[0e38 x]");  // offsets in messages stay those of the file as written
    std::string error;
    EXPECT_EQ(JsonFile::Read(file.string(), document, &error), JsonFile::ReadResult::kUnparsable);
    EXPECT_THAT(error, HasSubstr("offset 6"));
}

class SpaceRegressionTest : public EngineTest {};

TEST_F(SpaceRegressionTest, ADeeplyNestedEntityListIsRefusedNamingTheFile)
{
    content.Space("Deep", "{\"zLayer\": 0, \"entities\": " + std::string(1000000, '[') + std::string(1000000, ']') + "}");
    Start();
    std::string error = ErrorOf([this] { Make("Deep"); });
    EXPECT_THAT(error, HasSubstr((content.root / "Spaces" / "Deep.txt").string()));
    EXPECT_THAT(error, HasSubstr("must be a JSON object"));
}

// Numbers that size a loop or an allocation, and Floats beyond the range of float: refused
// naming the file, the member and the limit (an emitter's pool, known only once its
// members are combined, names its entity). A space may list at most kMaxEntities entities.
// Every other stored space input loads or is refused naming the file, without a crash.
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
    Start();
    EXPECT_THAT(ErrorOf([this] { Make("Many"); }), HasSubstr("Many.txt: member \"entities\" holds 10001 entities, above the limit"));
    size_t refused = 0;
    for (const fs::path& file : Regressions("space")) {
        SCOPED_TRACE(file.filename().string());
        content.Space("Bad", ReadText(file));
        std::string error = ErrorOf([this] {
            Make("Bad");
            Frames(3);  // initialises it
        });
        if (error != "(no error)") EXPECT_THAT(error, HasSubstr("Bad.txt"));
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

// A sound file at 1 Hz (a minute of it would be hours of mix) is refused by its rate;
// NaN and infinite samples of a float file are played as silence, said in one line.
TEST(SoundRegressionTest, AnAbsurdRateIsRefusedAndNonFiniteSamplesAreSilenced)
{
    TempContent content;
    audio_content::AudioFolder audio(content.root);
    audio.Sound("slow.wav", 1, 1, audio_content::Constant(60, 1, 0.25f));
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
    while (decoder.Step(1000, &problem)) {
    }
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, sound->path + ": samples that are not finite numbers are played as silence\n");
    EXPECT_EQ(sound->Samples()[10], 0.0f);
    EXPECT_EQ(sound->Samples()[3000], 0.0f);
    EXPECT_EQ(sound->Samples()[11], 0.25f);

    // A sound reached through a link out of the sound folder is never read.
    fs::copy_file(audio.Sounds() / "noisy.wav", content.root / "outside.wav");
    fs::create_symlink(content.root / "outside.wav", audio.Sounds() / "escape.wav");
    StudioSystem* studio = nullptr;
    ASSERT_EQ(StudioSystem::Create(&studio), STUDIO_OK);
    ASSERT_EQ(studio->Initialize(8), STUDIO_OK);
    StudioBank* bank = nullptr;
    EXPECT_NE(studio->LoadBankFile(audio.Bank("escape.json", R"({"path": "event:/E", "tracks": [{"sound": "escape.wav"}]})"),
                                   &bank), STUDIO_OK);
    EXPECT_THAT(studio->LastError(), HasSubstr("\"escape.wav\" must name a file inside the sound folder"));
    studio->Release();
}

// Times and tempos so far out that frame arithmetic overflowed and the beat walk never
// ended, and a sound name too long for the file system (asking whether it existed threw):
// refused at load with the member named, and a tempo at each end of the accepted range
// still loads.
TEST(BankRegressionTest, OutlandishTimesTemposAndSoundNamesAreRefusedNamingTheMember)
{
    TempContent content;
    audio_content::AudioFolder audio(content.root);
    audio.Sound("mono.wav", 22050, 1, audio_content::Constant(2205, 1, 0.25f));
    fs::create_directories(audio.Sounds() / "sub");  // as the fuzzer's sound folder has one
    StudioSystem* studio = nullptr;
    ASSERT_EQ(StudioSystem::Create(&studio), STUDIO_OK);
    ASSERT_EQ(studio->Initialize(8), STUDIO_OK);
    std::vector<fs::path> files = Regressions("bank");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        fs::path bank = audio.Banks() / file.filename();
        WriteText(bank, ReadText(file));
        StudioBank* loaded = nullptr;
        StudioResult result = studio->LoadBankFile(bank.string(), &loaded);
        EXPECT_TRUE(result == STUDIO_ERR_FILE_BAD || result == STUDIO_ERR_FILE_NOTFOUND) << file;
        EXPECT_THAT(studio->LastError(), HasSubstr("Bank " + bank.string() + ": ")) << file;
    }
    for (const char* tempo : {"0.001", "60000"}) {
        StudioBank* loaded = nullptr;
        std::string bank = audio.Bank(std::string("tempo") + tempo + ".json",
                                      std::string("{\"path\": \"event:/T") + tempo + "\", \"tempo\": " + tempo +
                                          ", \"length\": 86400, \"tracks\": [{\"sound\": \"mono.wav\"}]}");
        EXPECT_EQ(studio->LoadBankFile(bank, &loaded), STUDIO_OK) << studio->LastError();
    }
    studio->Release();
}

} // namespace
