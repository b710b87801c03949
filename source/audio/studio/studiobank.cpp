#include "studiobank.h"

#include "studioeventdescription.h"
#include "studiosystem.h"

namespace volleyrun {

StudioBank::StudioBank(StudioSystem* system, std::string file,
                       std::vector<std::unique_ptr<StudioEventDescription>> events)
    : system_(system), file_(std::move(file)), events_(std::move(events))
{
    for (auto& event : events_) {
        event->system = system_;
        event->bankFile = file_;
    }
}

StudioBank::~StudioBank() = default;

StudioResult StudioBank::LoadSampleData()
{
    for (auto& event : events_) {
        StudioResult result = system_->LoadSamples(event.get(), false);
        if (result != STUDIO_OK) return result;
    }
    return STUDIO_OK;
}

StudioResult StudioBank::GetEventCount(int* count) const
{
    if (!count) return STUDIO_ERR_INVALID_PARAM;
    *count = static_cast<int>(events_.size());
    return STUDIO_OK;
}

StudioEventDescription* StudioBank::Find(const std::string& path) const
{
    for (const auto& event : events_)
        if (event->path == path) return event.get();
    return nullptr;
}

} // namespace volleyrun
