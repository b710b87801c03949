#include "delayqueue.h"
#include "eventmanager.h"
#include "eventpool.h"
#include "gameerror.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// Records every trace text it hears, with the update number it arrived in.
struct Recorder {
    std::vector<std::string> heard;
    void OnTrace(TraceEvent& event) { heard.push_back(event.text); }
};

// A listener whose handler runs a test-supplied action.
struct Hook {
    std::string name;
    std::vector<std::string>* log;
    std::function<void(TraceEvent&)> action;
    void OnTrace(TraceEvent& event)
    {
        log->push_back(name);
        if (action) action(event);
    }
};

// Updates until every expected text has arrived; returns the update number of each.
std::vector<int> DeliveryFrames(EventManager& manager, Recorder& recorder, const std::vector<std::string>& texts)
{
    std::vector<int> frames(texts.size(), 0);
    for (int update = 1; update <= 100; ++update) {
        size_t before = recorder.heard.size();
        manager.Update(kFrame);
        for (size_t i = before; i < recorder.heard.size(); ++i)
            for (size_t t = 0; t < texts.size(); ++t)
                if (recorder.heard[i] == texts[t]) frames[t] = update;
    }
    return frames;
}

class EventManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager.AddListener(&recorder, &Recorder::OnTrace);
        manager.Update(kFrame);  // activates the recorder
    }
    EventManager manager;
    Recorder recorder;
};

TEST_F(EventManagerTest, QueuedDelaysCountDownInFloatFrames)
{
    manager.Send(TraceEvent("half", 0.5f));
    manager.Send(TraceEvent("zero", 0.0f));
    manager.Send(TraceEvent("fifth", 0.2f));
    EXPECT_EQ(DeliveryFrames(manager, recorder, {"half", "zero", "fifth"}), (std::vector<int>{30, 1, 13}));
}

TEST_F(EventManagerTest, ImmediateSendDeliversNowAndDueEventsLeaveMostOverdueFirst)
{
    manager.Send(TraceEvent("now"));
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"now"}));
    manager.Send(TraceEvent("later", 0.01f));
    manager.Send(TraceEvent("sooner", 0.001f));
    manager.Update(0.1f);
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"now", "sooner", "later"}));
}

TEST_F(EventManagerTest, HeldTypeKeepsItsDelaysUntilReleased)
{
    manager.SetHeld(kTraceEvent, true);
    manager.Send(TraceEvent("immediate"));
    manager.Send(TraceEvent("quarter", 0.25f));
    for (int i = 0; i < 50; ++i) manager.Update(kFrame);
    EXPECT_TRUE(recorder.heard.empty());
    EXPECT_EQ(manager.QueuedCount(), 2u);
    manager.SetHeld(kTraceEvent, false);
    EXPECT_EQ(DeliveryFrames(manager, recorder, {"immediate", "quarter"}), (std::vector<int>{1, 16}));
}

TEST_F(EventManagerTest, HeldEventsDoNotBlockOverdueEventsOfOtherTypes)
{
    std::vector<std::string> ran;
    manager.SetHeld(kTraceEvent, true);
    manager.Send(TraceEvent("held"));  // delay 0: sits on top of the queue
    manager.Send(LambdaEvent([&ran] { ran.push_back("lambda"); }, 0.05f));
    for (int i = 0; i < 5; ++i) manager.Update(kFrame);
    EXPECT_EQ(ran, (std::vector<std::string>{"lambda"}));
    EXPECT_TRUE(recorder.heard.empty());
}

TEST_F(EventManagerTest, LambdaRunsItsActionAndAnEmptyOneIsAnError)
{
    int runs = 0;
    manager.Send(LambdaEvent([&runs] { ++runs; }, 0.1f));
    for (int i = 0; i < 6; ++i) manager.Update(kFrame);
    EXPECT_EQ(runs, 0);
    manager.Update(kFrame);
    EXPECT_EQ(runs, 1);
    LambdaEvent empty(nullptr, kSendNow);
    EXPECT_THROW(manager.Send(empty), GameError);
}

TEST_F(EventManagerTest, EventsSentDuringDeliveryWaitForTheNextUpdate)
{
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        manager.Send(LambdaEvent(again, 0.0f));
    };
    manager.Send(LambdaEvent(again, 0.0f));
    manager.Update(kFrame);
    manager.Update(kFrame);
    manager.Update(kFrame);
    EXPECT_EQ(runs, 3);
}

TEST(EventManagerLifetime, DestroyingAManagerDropsQueuedEventsUndelivered)
{
    auto token = std::make_shared<int>(0);
    bool ran = false;
    {
        EventManager manager;
        manager.Send(LambdaEvent([token, &ran] { ran = true; }, 1.0f));
        EXPECT_EQ(token.use_count(), 2);
    }
    EXPECT_EQ(token.use_count(), 1);
    EXPECT_FALSE(ran);
}

class ListenerOrderTest : public ::testing::Test {
protected:
    Hook& Add(const std::string& name, std::function<void(TraceEvent&)> action = nullptr)
    {
        hooks.push_back(std::make_unique<Hook>(Hook{name, &log, std::move(action)}));
        manager.AddListener(hooks.back().get(), &Hook::OnTrace);
        return *hooks.back();
    }
    std::vector<std::string> Deliver()
    {
        log.clear();
        manager.Send(TraceEvent("x"));
        return log;
    }
    EventManager manager;
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Hook>> hooks;
};

TEST_F(ListenerOrderTest, ListenersWaitForTheNextUpdateAndRunInRegistrationOrder)
{
    Add("a");
    EXPECT_TRUE(Deliver().empty());
    manager.Update(kFrame);
    Add("b", [](TraceEvent&) {});
    Hook* a = hooks[0].get();
    a->action = [this](TraceEvent&) { Add("late"); };
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"a"}));  // b and late still pending
    a->action = nullptr;
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"a"}));
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"a", "b", "late"}));
}

TEST_F(ListenerOrderTest, HandledStopsTheListenersBehind)
{
    Add("first");
    Add("stopper", [](TraceEvent& event) { event.handled = true; });
    Add("never");
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"first", "stopper"}));
}

TEST_F(ListenerOrderTest, RemovalDuringDispatchNeitherCallsTheRemovedNorSkipsTheRest)
{
    Add("a");
    Hook& remover = Add("remover");
    Add("victim");
    Add("d");
    manager.Update(kFrame);
    Hook* a = hooks[0].get();
    Hook* victim = hooks[2].get();
    // Removes a listener behind it and one already called ahead of it, then itself.
    remover.action = [&, a, victim](TraceEvent&) {
        manager.RemoveListener<TraceEvent>(victim);
        manager.RemoveListener<TraceEvent>(a);
        manager.RemoveListener<TraceEvent>(&remover);
    };
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"a", "remover", "d"}));
    EXPECT_EQ(manager.ListenerCount(kTraceEvent), 1u);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"d"}));
}

TEST_F(ListenerOrderTest, RemoveTakesOnlyTheFirstRegistrationOfAnOwner)
{
    Hook& twice = Add("twice");
    manager.AddListener(&twice, &Hook::OnTrace);
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"twice", "twice"}));
    manager.RemoveListener<TraceEvent>(&twice);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"twice"}));
    manager.RemoveListener<TraceEvent>(&log);  // not registered: nothing happens
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"twice"}));
}

TEST_F(ListenerOrderTest, RemovingAPendingListenerKeepsActivationExact)
{
    Hook& gone = Add("gone");
    Add("stays");
    manager.RemoveListener<TraceEvent>(&gone);
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"stays"}));
    Add("next");
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"stays"}));
    manager.Update(kFrame);
    EXPECT_EQ(Deliver(), (std::vector<std::string>{"stays", "next"}));
}

} // namespace

namespace {

TEST(DelayQueueTest, EventsLeaveInDelayOrderThroughHoldsAndRefills)
{
    DelayQueue queue;
    std::srand(7);
    auto push = [&queue](int count) {
        for (int i = 0; i < count; ++i) {
            float delay = static_cast<float>(std::rand() % 2000) / 1000.0f - 0.5f;
            // Pooled copies of two sizes among events made with new.
            if (i % 3 == 0) queue.Push(std::make_unique<TraceEvent>("a text too long for the small-string buffer", delay));
            else if (i % 3 == 1) queue.Emplace(TraceEvent("t", delay));
            else queue.Emplace(UpdateEvent(0.0f, 0.0f, delay));
        }
    };
    std::array<bool, kEventTypeCount> held{};
    push(5000);
    held[kTraceEvent] = true;
    queue.CountDown(0.3f, held);  // only the update events run down: the order must be rebuilt
    held[kTraceEvent] = false;
    float previous = -1e9f;
    for (int i = 0; i < 2500; ++i) {
        DelayQueue::Taken event = queue.Pop();
        EXPECT_GE(event->delay, previous);
        previous = event->delay;
    }
    push(3000);  // newcomers may be due sooner than what already left
    previous = -1e9f;
    size_t left = queue.Size();
    for (size_t i = 0; i < left; ++i) {
        DelayQueue::Taken event = queue.Pop();
        EXPECT_GE(event->delay, previous);
        previous = event->delay;
    }
    EXPECT_TRUE(queue.Empty());
}

// A queue that runs dry between bursts: every event arrives once, whatever it owns is
// released, and a queue destroyed full frees what it still holds (the sanitizers check).
TEST(DelayQueueTest, BurstsOfPooledEventsArriveOnceAndLeaveNothingBehind)
{
    auto token = std::make_shared<int>(0);
    DelayQueue queue;
    for (int burst = 0; burst < 3; ++burst) {
        for (int i = 0; i < 3000; ++i) {
            float delay = static_cast<float>((i * 7919) % 3000) / 1000.0f;
            if (i % 2) queue.Emplace(LambdaEvent([token] {}, delay));
            else queue.Emplace(TraceEvent(std::to_string(i), delay));
        }
        EXPECT_EQ(token.use_count(), 1 + 1500);
        std::set<std::string> texts;
        std::array<bool, kEventTypeCount> held{};
        queue.CountDown(10.0f, held);
        while (!queue.Empty()) {
            DelayQueue::Taken event = queue.Pop();
            if (event->type == kTraceEvent) texts.insert(static_cast<TraceEvent&>(*event).text);
        }
        EXPECT_EQ(texts.size(), 1500u);
        EXPECT_EQ(token.use_count(), 1);
    }
    queue.Emplace(LambdaEvent([token] {}, 1.0f));
    queue.Push(std::make_unique<LambdaEvent>([token] {}, 2.0f));
    EXPECT_EQ(token.use_count(), 3);
}

TEST(EventPoolTest, BlocksAreDistinctAlignedReusedAndGivenBackWhenAllAreFree)
{
    EventPool pool;
    std::vector<std::pair<void*, size_t>> blocks;
    for (int i = 0; i < 20000; ++i) {
        size_t size = 8 + static_cast<size_t>(i % 5) * 40;  // 8 .. 168 bytes: several classes
        void* block = pool.Allocate(size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % EventPool::kGrain, 0u);
        std::memset(block, i & 0xFF, size);  // overlapping blocks would overwrite each other
        blocks.push_back({block, size});
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char*>(blocks[i].first)[blocks[i].second - 1], i & 0xFF) << i;
    EXPECT_GT(pool.ChunkCount(), 1u);
    void* freed = blocks.back().first;
    pool.Free(freed, blocks.back().second);
    EXPECT_EQ(pool.Allocate(blocks.back().second), freed);  // the latest freed block of its class first

    void* large = pool.Allocate(EventPool::kLargest + 1);  // from the general heap
    EXPECT_EQ(pool.LiveBlocks(), blocks.size());
    pool.Free(large, EventPool::kLargest + 1);
    for (auto [block, size] : blocks) pool.Free(block, size);
    EXPECT_EQ(pool.LiveBlocks(), 0u);
    EXPECT_EQ(pool.ChunkCount(), 0u);
    void* again = pool.Allocate(24);  // and it starts again from nothing
    EXPECT_NE(again, nullptr);
    pool.Free(again, 24);
}

} // namespace
