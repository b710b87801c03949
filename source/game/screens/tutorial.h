// Tutorial: a picture book of four pages. "NextButton" and "PreviousButton" of its space
// turn the pages (wrapping round) shown on "TutorialImage1", and an arrow with no page in
// its direction is parked out of view. Listens for the arrows' "button" triggers on their
// own managers; created with the tutorial space; game thread only.
#pragma once

#include "component.h"
#include "entityref.h"

#include <string>
#include <vector>

namespace volleyrun {

class TriggerEvent;

class Tutorial : public ComponentOf<Tutorial, kTutorial> {
public:
    static constexpr float kArrowShownY = -230.0f;
    static constexpr float kArrowParkedY = -1000.0f;

    explicit Tutorial(Entity* owner) : ComponentOf(owner) {}

    void Initialize() override;
    std::vector<std::string> NamesNeeded() const override { return {"NextButton", "PreviousButton", "TutorialImage1"}; }
    void Serialize(std::vector<Property>&) override {}

    void OnTrigger(TriggerEvent& event);

    std::vector<std::string> pages = {"Volleyrun Overview Tutorial.png", "Volleyrun Gameplay Tutorial.png",
                                      "Volleyrun Hype Bar Tutorial.png", "Volleyrun Events Tutorial.png"};
    size_t page = 0;  // index into pages of the page shown

private:
    void ShowPage();

    EntityRef nextButton_;      // "NextButton"
    EntityRef previousButton_;  // "PreviousButton"
    EntityRef image_;           // "TutorialImage1"
};

} // namespace volleyrun
