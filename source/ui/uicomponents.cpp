#include "uicomponents.h"

#include "componentregistry.h"
#include "button.h"
#include "followobject.h"
#include "hover.h"
#include "mouse.h"
#include "mouseclickeventsender.h"
#include "slider.h"
#include "textbox.h"

namespace volleyrun {

void RegisterUiComponents(ComponentRegistry& registry)
{
    registry.Register("MouseClickEventSender", std::make_unique<MouseClickEventSender>(nullptr));
    registry.Register("Button", std::make_unique<Button>(nullptr));
    registry.Register("Mouse", std::make_unique<Mouse>(nullptr));
    registry.Register("FollowObject", std::make_unique<FollowObject>(nullptr));
    registry.Register("TextBox", std::make_unique<TextBox>(nullptr));
    registry.Register("Slider", std::make_unique<Slider>(nullptr));
    registry.Register("Hover", std::make_unique<Hover>(nullptr));
}

} // namespace volleyrun
