#include "delayqueue.h"
#include "eventmanager.h"
#include "gameerror.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace volleyrun {

namespace {

constexpr float kFrame = 1.0f / 60.0f;
using Texts = std::vector<std::string>;

struct Recorder { Texts heard; void OnTrace(TraceEvent& event) { heard.push_back(event.text); } };

class EventManagerTest : public ::testing::Test {
protected:
    // The recorder hears from the first update on.
    void SetUp() override { manager.AddListener(&recorder, &Recorder::OnTrace); manager.Update(kFrame); }
    // Updates a hundred times; returns the update number in which each text arrived.
    std::vector<int> DeliveryFrames(const Texts& texts)
    {
        std::vector<int> frames(texts.size(), 0);
        for (int update = 1; update <= 100; ++update) {
            recorder.heard.clear();
            manager.Update(kFrame);
            for (size_t t = 0; t < texts.size(); ++t)
                if (std::ranges::count(recorder.heard, texts[t])) frames[t] = update;
        }
        return frames;
    }
    EventManager manager;
    Recorder recorder;
};

// Delays count down in float frames; due events leave most overdue first; what is sent during
// a delivery waits for the next update, even with no delay; an empty lambda is an error.
TEST_F(EventManagerTest, QueuedDelaysCountDownTheMostOverdueLeavesFirstAndWhatADeliverySendsWaits)
{
    manager.Send(TraceEvent("later", 0.01f));
    manager.Send(TraceEvent("sooner", 0.001f));
    manager.Update(0.1f);
    EXPECT_EQ(recorder.heard, (Texts{"sooner", "later"}));
    manager.Send(TraceEvent("half", 0.5f));
    manager.Send(TraceEvent("zero", 0.0f));
    manager.Send(TraceEvent("fifth", 0.2f));
    EXPECT_EQ(DeliveryFrames({"half", "zero", "fifth"}), (std::vector<int>{30, 1, 13}));
    int runs = 0;
    std::function<void()> again = [&] { ++runs; manager.Send(LambdaEvent(again, 0.0f)); };
    manager.Send(LambdaEvent(again, 0.0f));
    for (int i = 0; i < 3; ++i) manager.Update(kFrame);
    EXPECT_EQ(runs, 3);
    LambdaEvent empty(nullptr, kSendNow);
    EXPECT_THROW(manager.Send(empty), GameError);
}

// An immediate send of a held type waits too.
TEST_F(EventManagerTest, HeldTypeKeepsItsDelaysUntilReleasedAndBlocksNoOtherType)
{
    std::vector<int> ran;
    manager.SetHeld(kTraceEvent, true);
    manager.Send(TraceEvent("immediate"));  // delay 0: sits on top of the queue
    manager.Send(TraceEvent("quarter", 0.25f));
    manager.Send(LambdaEvent([&ran] { ran.push_back(1); }, 0.05f));
    for (int i = 0; i < 50; ++i) manager.Update(kFrame);
    EXPECT_EQ(ran.size(), 1u);
    EXPECT_TRUE(recorder.heard.empty());
    manager.SetHeld(kTraceEvent, false);
    EXPECT_EQ(DeliveryFrames({"immediate", "quarter"}), (std::vector<int>{1, 16}));
}

// A listener whose handler runs a test-supplied action.
struct Hook {
    std::string name;
    Texts* log;
    std::function<void(TraceEvent&)> action;
    void OnTrace(TraceEvent& event) { log->push_back(name); if (action) action(event); }
};

class ListenerOrderTest : public ::testing::Test {
protected:
    Hook& Add(const std::string& name, std::function<void(TraceEvent&)> action = nullptr)
    {
        hooks.push_back(std::make_unique<Hook>(Hook{name, &log, std::move(action)}));
        manager.AddListener(hooks.back().get(), &Hook::OnTrace);
        return *hooks.back();
    }
    Texts Deliver() { log.clear(); manager.Send(TraceEvent("x")); return log; }
    EventManager manager;
    Texts log;
    std::vector<std::unique_ptr<Hook>> hooks;
};

TEST_F(ListenerOrderTest, ListenersWaitForTheNextUpdateAndRunInRegistrationOrder)
{
    Hook& a = Add("a");
    EXPECT_TRUE(Deliver().empty());
    manager.Update(kFrame);
    Add("b");
    a.action = [this](TraceEvent&) { Add("late"); };
    EXPECT_EQ(Deliver(), Texts{"a"});  // b and late still pending
    a.action = nullptr;
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (Texts{"a", "b", "late"}));
    Add("stopper", [](TraceEvent& event) { event.handled = true; });
    Add("never");
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (Texts{"a", "b", "late", "stopper"}));  // handled stops the listeners behind
}

// Removing a pending listener, or an owner never added, leaves activation exact.
TEST_F(ListenerOrderTest, RemovalNeitherCallsTheRemovedNorSkipsTheRest)
{
    Hook& a = Add("a");
    Hook& remover = Add("remover");
    Hook& victim = Add("victim");
    Hook& gone = Add("gone");
    Add("d");
    manager.RemoveListener<TraceEvent>(&gone);
    manager.RemoveListener<TraceEvent>(&log);
    manager.Update(kFrame);
    // Removes a listener behind it and one already called ahead of it, then itself.
    remover.action = [&](TraceEvent&) {
        manager.RemoveListener<TraceEvent>(&victim);
        manager.RemoveListener<TraceEvent>(&a);
        manager.RemoveListener<TraceEvent>(&remover);
    };
    EXPECT_EQ(Deliver(), (Texts{"a", "remover", "d"}));
    EXPECT_EQ(manager.ListenerCount(kTraceEvent), 1u);
    Add("next");
    EXPECT_EQ(Deliver(), Texts{"d"});
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (Texts{"d", "next"}));
}

// Every event frees what it owns; the queue runs dry between rounds; a full one destroyed frees all (sanitizers check).
TEST(DelayQueueTest, EventsLeaveOnceInDelayOrderThroughHoldsAndRefills)
{
    auto token = std::make_shared<int>(0);
    DelayQueue queue;
    std::srand(7);
    int pushed = 0;
    auto push = [&](int count) {
        for (int i = 0; i < count; ++i, ++pushed) {  // pooled copies of two sizes among events made with new
            float delay = static_cast<float>(std::rand() % 2000) / 1000.0f - 0.5f;
            std::string text = std::to_string(pushed);
            if (i % 3 == 0) queue.Push(std::make_unique<TraceEvent>(text + std::string(40, '.'), delay));
            else if (i % 3 == 1) queue.Emplace(TraceEvent(text, delay));
            else queue.Emplace(LambdaEvent([token] {}, delay));
        }
    };
    std::set<std::string> texts;
    auto popInOrder = [&](size_t count) {
        float previous = -1e9f;
        for (size_t i = 0; i < count; ++i) {
            DelayQueue::Taken event = queue.Pop();
            EXPECT_GE(event->delay, std::exchange(previous, event->delay));
            if (event->type == kTraceEvent) texts.insert(static_cast<TraceEvent&>(*event).text);
        }
    };
    for (int round = 0; round < 2; ++round) {
        push(5000);
        std::array<bool, kEventTypeCount> held{};
        held[kTraceEvent] = true;
        queue.CountDown(0.3f, held);  // only the lambdas run down: the order must be rebuilt
        popInOrder(2500);
        push(3000);  // newcomers may be due sooner than what already left
        popInOrder(queue.Size());
        EXPECT_EQ(token.use_count(), 1);
    }
    EXPECT_EQ(texts.size(), 2u * (3334 + 2000));  // every text pushed arrived
    queue.Emplace(LambdaEvent([token] {}, 1.0f));
    queue.Push(std::make_unique<LambdaEvent>([token] {}, 2.0f));
    EXPECT_EQ(token.use_count(), 3);
}

} // namespace

} // namespace volleyrun
