// StudioBank: the events one bank file defines. Created by StudioSystem::LoadBankFile and
// owned by the system until it is released (banks are never unloaded one by one). Game
// thread; its descriptions are read by the mixer once their instances play.
#pragma once

#include "studioresult.h"

#include <memory>
#include <string>
#include <vector>

namespace volleyrun {

class StudioEventDescription;
class StudioSystem;

class StudioBank {
public:
    StudioBank(StudioSystem* system, std::string file, std::vector<std::unique_ptr<StudioEventDescription>> events);
    ~StudioBank();

    // Queues every sound the bank's events use for decoding on the loader thread (their
    // headers were read with the bank), so starting an event never waits for the disk.
    StudioResult LoadSampleData();
    StudioResult GetEventCount(int* count) const;

    StudioEventDescription* Find(const std::string& path) const;  // null when absent
    const std::string& File() const { return file_; }
    const std::vector<std::unique_ptr<StudioEventDescription>>& Events() const { return events_; }

private:
    StudioSystem* system_;
    std::string file_;
    std::vector<std::unique_ptr<StudioEventDescription>> events_;
};

} // namespace volleyrun
