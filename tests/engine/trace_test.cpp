// The trace's three overlay lines and the developer console on a headless engine.
#include "input.h"
#include "spritetext.h"
#include "testcontent.h"
#include "trace.h"

#include <gtest/gtest.h>

namespace volleyrun {

namespace {

using Lines = std::array<std::string, 3>;

class TraceTest : public testing_content::EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        Frames(3);  // the typed-text listener becomes active and start-up messages settle
        trace = Trace::Get();
        input = Input::Get();
    }
    std::string Shown(int line) const { return trace->LineText(line) ? trace->LineText(line)->text : "(unbound)"; }
    std::string Printed(std::initializer_list<const char*> texts)
    {
        testing::internal::CaptureStdout();
        for (const char* text : texts) trace->Print(text);
        return testing::internal::GetCapturedStdout();
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

// A message gets a line end if it lacks one, an empty one prints nothing; a line whose entity is gone is skipped;
// after quitting, messages still print but the overlay stays.
TEST_F(TraceTest, MessagesPrintAsWholeLinesAndShowNewestOnTop)
{
    EXPECT_EQ(Printed({"B", "C\n", "", "D"}), "B\nC\nD\n");
    Printed({"C\n", "B"});
    Engine::Get()->events->Send(TraceEvent("A"));
    EXPECT_EQ(trace->Lines(), (Lines{"A\n", "B\n", "C\n"}));
    EXPECT_EQ(Shown(0) + Shown(1) + Shown(2), "ABC");  // the line end is not drawn
    Space* debug = Engine::Get()->FindSpace("Debug");
    debug->DestroyEntity(debug->FindEntity("DebugText1"));
    trace->Print("E");
    EXPECT_EQ(trace->LineText(1), nullptr);
    EXPECT_EQ(Shown(0), "E");
    Engine::Get()->quit = true;
    EXPECT_EQ(Printed({"after"}), "after\n");
    EXPECT_EQ(Shown(0), "E");
}

// Keys pressed before the backslash are no part of the command; backspace keeps the
// backslash; what prints while typing goes below the line; \q and enter end the game.
TEST_F(TraceTest, TheConsoleTakesTheTopLineWhileTypingAndBackslashQEnterQuits)
{
    trace->Print("old\n");
    Press(65);
    Press(Input::kKeyBackslash);
    EXPECT_TRUE(trace->ConsoleOpen());
    EXPECT_EQ(trace->Lines()[0], "\\");
    Press(65);
    Press(66);
    EXPECT_EQ(Shown(0), "\\ab");
    for (int i = 0; i < 3; ++i) Press(Input::kKeyBackspace);
    EXPECT_EQ(trace->Lines()[0], "\\");
    EXPECT_EQ(input->text, "\\");  // and the line that will be sent agrees
    EXPECT_EQ(Printed({"while typing"}), "");
    EXPECT_EQ(trace->Lines(), (Lines{"\\", "while typing\n", "old\n"}));
    Press(81);
    Press(Input::kKeyEnter);
    EXPECT_FALSE(trace->ConsoleOpen());
    EXPECT_EQ(input->text, "");
    EXPECT_EQ(trace->Lines()[0], "\\q");  // the submitted command stays on top
    EXPECT_TRUE(Engine::Get()->quit);
}

} // namespace

} // namespace volleyrun
