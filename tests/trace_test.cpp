// The trace's three overlay lines and the developer console on a headless engine.
#include "gameerror.h"
#include "input.h"
#include "spritetext.h"
#include "testcontent.h"
#include "trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;

std::string DebugLine(const std::string& name, float y)
{
    return "{\"name\": \"" + name + "\", \"archetypeName\": \"DebugText\", \"Transform\": {\"translationY\": " +
           std::to_string(y) + "}, \"SpriteText\": {\"text\": \"\", \"size\": 0.3}}";
}

class TraceTest : public testing_content::EngineTest {
protected:
    void PrepareContent() override
    {
        content.SimpleSpace("Debug", 100.0f,
                            DebugLine("DebugText0", 250.0f) + ", " + DebugLine("DebugText1", 230.0f) + ", " +
                                DebugLine("DebugText2", 210.0f));
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        Frames(3);  // the typed-text listener becomes active and start-up messages settle
        trace = Trace::Get();
        input = Input::Get();
    }
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < 3; ++i) texts.push_back(trace->LineText(i) ? trace->LineText(i)->text : "(unbound)");
        return texts;
    }
    // One frame in which key is pressed (and released at its end).
    void Press(int key)
    {
        input->OnKey(key, Input::kPress);
        Frames(1);
        input->OnKey(key, Input::kRelease);
    }

    Trace* trace = nullptr;
    Input* input = nullptr;
};

TEST_F(TraceTest, TheOverlayIsBoundAndHidden)
{
    Space* debug = Engine::Get()->FindSpace("Debug");
    EXPECT_FALSE(debug->visible);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(trace->LineText(i), debug->FindEntity(Trace::kLineNames[i])->Get<SpriteText>());
    try {
        trace->BindDebugLines(nullptr);
        ADD_FAILURE() << "bound to nothing";
    } catch (const GameError& error) {
        EXPECT_THAT(error.what(), HasSubstr("debugSpace"));
    }
}

// A message sent without its line end (the audio engine's beat-type line) is given one,
// so it never runs into the next; an empty message prints nothing.
TEST_F(TraceTest, MessagesPrintAsWholeLinesAndShowNewestOnTop)
{
    testing::internal::CaptureStdout();
    Engine::Get()->events->Send(TraceEvent("A"));
    trace->Print("B");
    trace->Print("C\n");
    trace->Print("");
    trace->Print("D");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A\nB\nC\nD\n");
    trace->Print("C\n");
    trace->Print("B");
    trace->Print("A");
    EXPECT_EQ(trace->Lines(), (std::array<std::string, 3>{"A\n", "B\n", "C\n"}));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A", "B", "C"}));  // the line end is not drawn
}

TEST_F(TraceTest, TheConsoleTakesTheTopLineWhileTyping)
{
    trace->Print("old\n");
    Press(Input::kKeyBackslash);
    EXPECT_TRUE(trace->ConsoleOpen());
    EXPECT_EQ(trace->Lines()[0], "\\");
    EXPECT_EQ(trace->Lines()[1], "old\n");  // moved down
    Press(65);
    Press(66);
    EXPECT_EQ(Shown()[0], "\\ab");
    for (int i = 0; i < 3; ++i) Press(Input::kKeyBackspace);
    EXPECT_EQ(trace->Lines()[0], "\\");  // the opening backslash stays
    EXPECT_EQ(input->text, "\\");        // and the line that will be sent agrees

    testing::internal::CaptureStdout();
    trace->Print("while typing");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(trace->Lines(), (std::array<std::string, 3>{"\\", "while typing\n", "old\n"}));

    Press(81);
    Press(Input::kKeyEnter);
    EXPECT_FALSE(trace->ConsoleOpen());
    EXPECT_FALSE(input->textMode);
    EXPECT_EQ(trace->Lines()[0], "\\q");  // the submitted command stays on top
    EXPECT_TRUE(Engine::Get()->quit);
}

// A line whose entity is gone is skipped; after quitting, messages still print but the
// overlay stays.
TEST_F(TraceTest, AGoneLineIsSkippedAndAfterQuitTheOverlayStays)
{
    Space* debug = Engine::Get()->FindSpace("Debug");
    debug->DestroyEntity(debug->FindEntity("DebugText1"));
    trace->Print("before");
    EXPECT_EQ(trace->LineText(1), nullptr);
    EXPECT_EQ(Shown()[0], "before");
    Engine::Get()->quit = true;
    testing::internal::CaptureStdout();
    trace->Print("after");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "after\n");
    EXPECT_EQ(Shown()[0], "before");
}

} // namespace
