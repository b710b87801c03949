#include "tutorial.h"

#include "entity.h"
#include "space.h"
#include "sprite.h"
#include "transform.h"

namespace volleyrun {

void Tutorial::Initialize()
{
    Space* space = owner->space;
    Entity* next = space->RequireEntity("NextButton");
    Entity* previous = space->RequireEntity("PreviousButton");
    Entity* image = space->RequireEntity("TutorialImage1");
    image->Require<Sprite>();
    for (Entity* arrow : {next, previous}) {
        arrow->Require<Transform>();
        ListenTo(*arrow, &Tutorial::OnTrigger);
    }
    nextButton_ = next->Ref();
    previousButton_ = previous->Ref();
    image_ = image->Ref();
}

void Tutorial::OnTrigger(TriggerEvent& event)
{
    if (event.name != "button" || !event.sender) return;
    if (event.sender.Get() == nextButton_.Get()) page = (page + 1) % pages.size();
    else if (event.sender.Get() == previousButton_.Get()) page = page == 0 ? pages.size() - 1 : page - 1;
    else return;
    ShowPage();
}

void Tutorial::ShowPage()
{
    if (Entity* image = image_.Get()) image->Get<Sprite>()->SetImage(pages[page]);
    if (Entity* previous = previousButton_.Get())
        previous->Get<Transform>()->translation.y = page == 0 ? kArrowParkedY : kArrowShownY;
    if (Entity* next = nextButton_.Get())
        next->Get<Transform>()->translation.y = page + 1 == pages.size() ? kArrowParkedY : kArrowShownY;
}

} // namespace volleyrun
