// Inputs that once crashed a reader under the fuzzers (kept in fuzz/regressions/<reader>/),
// loaded through the real readers: each must now end in one clear error naming its file.
#include "audiotestcontent.h"
#include "gameerror.h"
#include "imagetestfiles.h"
#include "jsonfile.h"
#include "studiosystem.h"
#include "testcontent.h"
#include "texturestore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

    void ExpectRefused(const std::string& reader, const std::string& description)
    {
        std::vector<fs::path> files = Regressions(reader);
        ASSERT_FALSE(files.empty());
        for (const fs::path& file : files) {
            WriteText(Textures() / description, ReadText(file));
            std::string error = ErrorOf([this] { TextureStore::Get()->LoadDirectory(Textures(), false); });
            EXPECT_THAT(error, HasSubstr((Textures() / description).string())) << file;
        }
    }

    TempContent content;
};

TEST_F(DescriptionRegressionTest, GridsWhoseCellsOverflowACountAreRefused)
{
    ExpectRefused("grid", "Sheet.txt");
}

TEST_F(DescriptionRegressionTest, AtlasesWhoseGridOverflowsACountAreRefused)
{
    ExpectRefused("atlas", "Sheet.atlas");
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
