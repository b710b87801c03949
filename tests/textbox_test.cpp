// Text boxes in a headless engine, clicked and typed into like a player would: focus and
// its "TextBox" reports, locked characters, the caret's blink, the cut display, boxes
// that must stay inert, and a focused box that goes away.
#include "menucontent.h"
#include "spritetext.h"
#include "textbox.h"
#include "transform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace testing_content;
using ::testing::ElementsAre;

// A box whose text starts at (x, y), characters 18.5 units apart (size 0.5), on a
// background 100 x 20 that spans x - 4 .. x + 96. "Second" is listed before "First", so
// the order of their reports cannot come from the order of the entities.
std::string Box(const std::string& name, float y, const std::string& text, int locked = 0)
{
    return Piece(name, 0, y, 10, 20,
                 "\"SpriteText\": {\"text\": \"\", \"size\": 0.5}, \"TextBox\": {\"actualText\": \"" + text +
                     "\", \"lockedChars\": " + std::to_string(locked) + ", \"backgroundScaleX\": 100}");
}

// Every "TextBox" report of the boxes it watches, in arrival order.
struct Reports {
    explicit Reports(std::initializer_list<TextBox*> boxes)
    {
        for (TextBox* box : boxes) {
            box->owner->events->AddListener(this, &Reports::On);
            box->owner->events->Update(0.0f);
            watched.push_back(box->owner->Ref());
        }
    }
    ~Reports()
    {
        for (const EntityRef& box : watched)
            if (Engine::Exists() && box.Get()) box.Get()->events->RemoveListener<TriggerEvent>(this);
    }
    void On(TriggerEvent& event)
    {
        if (event.name == TextBox::kTriggerName) log.push_back(event.sender.Get()->name + " " + std::to_string(event.state));
    }
    std::vector<EntityRef> watched;
    std::vector<std::string> log;
};

class TextBoxTest : public MenuTest {
protected:
    void PrepareContent() override
    {
        std::string fields = SpaceJson(5, {ClickSender(), Box("Second", -60, "Two"), Box("First", 60, "Name:", 5),
                                           Box("Label", 0, "Label", TextBox::kInert), Cursor()});
        content.Space("Fields", fields);
        content.Space("MapEditorSpace", fields);
    }
    void SetUp() override
    {
        MenuTest::SetUp();
        fields = Open("Fields");
        first = fields->FindEntity("First")->Get<TextBox>();
        second = fields->FindEntity("Second")->Get<TextBox>();
    }
    void PointAtBox(const TextBox* box) { PointAt(box->owner->Get<Transform>()->translation + glm::vec2(60, 0)); }
    void ClickAt(glm::vec2 at)
    {
        PointAt(at);
        Press();
        Release();
    }
    void ClickOn(const TextBox* box) { ClickAt(box->owner->Get<Transform>()->translation + glm::vec2(60, 0)); }
    std::string Shown(const TextBox* box) { return box->owner->Get<SpriteText>()->text; }

    Space* fields = nullptr;
    TextBox* first = nullptr;
    TextBox* second = nullptr;
};

TEST_F(TextBoxTest, LockedCharactersSurviveBackspaceAndOnlyTheFocusedBoxHearsTyping)
{
    PointAtBox(first);
    Press();
    EXPECT_TRUE(TextBox::ClickTaken());
    Release();
    EXPECT_FALSE(TextBox::ClickTaken());  // a click counts for its own frame only
    Key(Input::kKeyBackspace);
    EXPECT_EQ(first->actualText, "Name:");
    Key('A');
    Key('1');
    EXPECT_EQ(first->actualText, "Name:a1");
    for (int i = 0; i < 3; ++i) Key(Input::kKeyBackspace);
    EXPECT_EQ(first->actualText, "Name:");
    Key(Input::kKeyEnter);  // ends the editing, adds no line break
    EXPECT_EQ(first->actualText, "Name:");
    EXPECT_FALSE(first->Editing());

    ClickOn(second);  // unlocked: empties completely and stays empty
    for (int i = 0; i < 5; ++i) Key(Input::kKeyBackspace);
    EXPECT_EQ(second->actualText, "");
    EXPECT_EQ(first->actualText, "Name:");
}

TEST_F(TextBoxTest, FocusMovesWithTheOldBoxReportingBeforeTheNewOneAtAnyCaretPhase)
{
    Reports reports{first, second};
    ClickOn(first);
    ClickOn(second);
    EXPECT_THAT(reports.log, ElementsAre("First 0", "First 1", "Second 0"));
    EXPECT_EQ(TextBox::Focused(), second);
    for (bool shown : {true, false}) {
        reports.log.clear();
        ClickOn(first);
        PointAtBox(second);
        for (int i = 0; i < 200 && first->caretVisible != shown; ++i) Frames(1);
        ASSERT_EQ(first->caretVisible, shown);
        Press();  // the caret changes every 30 frames, so the click sees it as it is now
        Release();
        EXPECT_THAT(reports.log, ElementsAre("Second 1", "First 0", "First 1", "Second 0")) << "caret shown: " << shown;
    }
}

TEST_F(TextBoxTest, ClickingElsewhereEndsTheEditingOnceButTypingStillReachesTheBox)
{
    Reports reports{first};
    ClickOn(first);
    ClickAt({300, 200});
    ClickAt({60, 0});  // the inert label takes neither the focus nor the click
    EXPECT_THAT(reports.log, ElementsAre("First 0", "First 1"));
    EXPECT_EQ(TextBox::Focused(), first);
    Key('X');
    EXPECT_EQ(first->actualText, "Name:x");
}

TEST_F(TextBoxTest, TheCaretBlinksHalfASecondEachWayAndOnlyTheFocusedBoxShowsAllItsText)
{
    first->SetText("Player name");
    EXPECT_EQ(Shown(first), "Playe");  // 100 / 18.5: five characters fit
    ClickOn(first);
    bool before = first->caretVisible;
    int frames = 0;
    std::vector<int> changes;
    while (changes.size() < 5 && frames < 400) {
        Frames(1);
        ++frames;
        if (first->caretVisible == before) continue;
        before = first->caretVisible;
        changes.push_back(frames);
        EXPECT_EQ(Shown(first), before ? "Player name-" : "Player name");
    }
    ASSERT_EQ(changes.size(), 5u);
    for (size_t i = 1; i < changes.size(); ++i) EXPECT_EQ(changes[i] - changes[i - 1], 30);  // 0.5 s at 60 Hz
    ClickOn(second);
    EXPECT_EQ(Shown(first), "Playe");
}

TEST_F(TextBoxTest, BoxesInAPausedSpaceStayStillExceptInTheEditorOverlay)
{
    fields->paused = true;
    ClickOn(first);
    EXPECT_EQ(TextBox::Focused(), nullptr);

    Space* overlay = Make("MapEditorSpace");
    Frames(4);
    overlay->paused = true;
    TextBox* field = overlay->FindEntity("First")->Get<TextBox>();
    ClickOn(field);
    Key('Q');
    EXPECT_EQ(field->actualText, "Name:q");
    Input::Get()->textMode = true;  // the developer console has the keyboard
    Key('W');
    Input::Get()->textMode = false;
    EXPECT_EQ(field->actualText, "Name:q");

    // Closing the overlay takes its focus along; a paused box that holds the focus takes
    // no typing either.
    Engine::Get()->events->Send(DestroySpaceEvent(overlay));
    EXPECT_EQ(TextBox::Focused(), nullptr);
    fields->paused = false;
    ClickOn(first);
    fields->paused = true;
    Key('Z');
    EXPECT_EQ(first->actualText, "Name:");
}

TEST_F(TextBoxTest, ADestroyedFocusedBoxLeavesNoFocusAndTakesItsBackgroundAlong)
{
    ClickOn(first);
    fields->events->Send(DestroyEvent(first->owner->Ref()));
    Frames(2);
    EXPECT_EQ(TextBox::Focused(), nullptr);
    EXPECT_EQ(fields->FindEntity("FirstBackGround"), nullptr);
    Key('A');  // reaches nothing
    ClickOn(second);
    EXPECT_EQ(TextBox::Focused(), second);
}

} // namespace
