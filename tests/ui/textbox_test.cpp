// Text boxes clicked and typed into as a player would: focus, locked characters, the cut display, inert boxes, pauses.
#include "menucontent.h"
#include "spritetext.h"
#include "textbox.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace volleyrun {

namespace {

using namespace testing_content;
using ::testing::ElementsAre;

// A box whose text starts at (0, y), characters 18.5 units apart (size 0.5), on a 100-wide background.
std::string Box(const std::string& name, float y, const std::string& text, int locked = 0)
{
    return Piece(name, 0, y, 10, 20,
                 "\"SpriteText\": {\"text\": \"\", \"size\": 0.5}, \"TextBox\": {\"actualText\": \"" + text +
                     "\", \"lockedChars\": " + std::to_string(locked) + ", \"backgroundScaleX\": 100}");
}

class TextBoxTest : public MenuTest {
protected:
    // "Second" is listed before "First", so the order of their reports cannot come from the order of the entities.
    void PrepareContent() override
    {
        content.Space("Fields", SpaceJson(5, {ClickSender(), Box("Second", -60, "Two"), Box("First", 60, "Name:", 5),
                                             Box("Label", 0, "Label", TextBox::kInert), Cursor()}));
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        fields = Open("Fields");
        first = fields->FindEntity("First")->Get<TextBox>();
        second = fields->FindEntity("Second")->Get<TextBox>();
        for (TextBox* box : {first, second}) {
            box->owner->events->AddListener(this, &TextBoxTest::OnTrigger);
            box->owner->events->Update(0.0f);
        }
    }
    void OnTrigger(TriggerEvent& event)
    {
        if (event.name == TextBox::kTriggerName) reports.push_back(event.sender.Get()->name + " " + std::to_string(event.state));
    }
    static glm::vec2 On(const TextBox* box) { return box->owner->Get<Transform>()->translation + glm::vec2(60, 0); }
    void ClickAt(glm::vec2 at) { PointAt(at); Press(); Release(); }
    static std::string Shown(const TextBox* box) { return box->owner->Get<SpriteText>()->text; }

    Space* fields = nullptr;
    TextBox *first = nullptr, *second = nullptr;
    std::vector<std::string> reports;  // every "TextBox" report of the two boxes, in arrival order
};

TEST_F(TextBoxTest, LockedCharactersSurviveBackspaceAndOnlyTheFocusedBoxHearsTypingAndShowsAllItsText)
{
    first->SetText("Name:Player");
    EXPECT_EQ(Shown(first), "Name:");  // 100 / 18.5: five characters fit
    first->SetText("Name:");
    PointAt(On(first));
    Press();
    EXPECT_TRUE(TextBox::ClickTaken());
    Release();
    EXPECT_FALSE(TextBox::ClickTaken());  // a click counts for its own frame only
    for (int key : {int(Input::kKeyBackspace), int('A'), int('1')}) Key(key);
    EXPECT_EQ(first->actualText, "Name:a1");
    EXPECT_THAT(Shown(first), ::testing::StartsWith("Name:a1"));  // focused: all of it, and the caret when shown
    for (int i = 0; i < 3; ++i) Key(Input::kKeyBackspace);
    Key(Input::kKeyEnter);  // ends the editing, adds no line break
    EXPECT_EQ(first->actualText, "Name:");
    EXPECT_FALSE(first->Editing());
    ClickAt(On(second));  // unlocked: empties completely and stays empty
    for (int i = 0; i < 5; ++i) Key(Input::kKeyBackspace);
    EXPECT_EQ(second->actualText, "");
    EXPECT_EQ(first->actualText, "Name:");
}

TEST_F(TextBoxTest, FocusMovesWithTheOldBoxReportingFirstNeverToAPausedBoxAndLeavesWithADestroyedOne)
{
    ClickAt(On(first));
    ClickAt(On(second));
    EXPECT_THAT(reports, ElementsAre("First 0", "First 1", "Second 0"));
    for (bool shown : {true, false}) {
        reports.clear();
        ClickAt(On(first));
        PointAt(On(second));
        for (int i = 0; i < 200 && first->caretVisible != shown; ++i) Frames(1);
        ASSERT_EQ(first->caretVisible, shown);
        Press();  // the caret changes every 30 frames, so the click sees it as it is now
        Release();
        EXPECT_THAT(reports, ElementsAre("Second 1", "First 0", "First 1", "Second 0")) << "caret shown: " << shown;
    }
    // Clicking elsewhere, or on the inert label, ends the editing once, but typing still reaches the box.
    reports.clear();
    ClickAt({300, 200});
    ClickAt({60, 0});
    EXPECT_THAT(reports, ElementsAre("Second 1"));
    EXPECT_EQ(TextBox::Focused(), second);
    Key('X');
    EXPECT_EQ(second->actualText, "Twox");
    // A paused space's boxes take neither clicks nor typing, focused or not (the map editor's
    // overlay keeps its own live), nor does any box while the developer console has the keyboard.
    fields->paused = true;
    ClickAt(On(first));
    EXPECT_EQ(TextBox::Focused(), second);
    fields->paused = false;
    ClickAt(On(first));
    fields->paused = true;
    Key('Z');
    fields->paused = false;
    Input::Get()->textMode = true;
    Key('W');
    Input::Get()->textMode = false;
    Key('Q');
    EXPECT_EQ(first->actualText, "Name:q");
    // A destroyed focused box leaves no focus and takes its background along.
    fields->events->Send(DestroyEvent(first->owner->Ref()));
    Frames(2);
    EXPECT_EQ(TextBox::Focused(), nullptr);
    EXPECT_EQ(fields->FindEntity("FirstBackGround"), nullptr);
    Key('A');  // reaches nothing
    ClickAt(On(second));
    EXPECT_EQ(TextBox::Focused(), second);
    Engine::Get()->events->Send(DestroySpaceEvent(fields));  // closing the space takes its focus along
    EXPECT_EQ(TextBox::Focused(), nullptr);
}

} // namespace

} // namespace volleyrun
