#include "core/event.h"
#include "support/failalloc.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Handlers H<0>..H<5> append their number to the log, then run their action (once each, so a
// handler that dispatches again does not recurse for ever).
std::string g_log;
std::vector<uintptr_t> g_args;
std::function<void()> g_actions[6];

template <int N>
void H(uintptr_t arg)
{
    g_log += char('0' + N);
    g_args.push_back(arg);
    std::function<void()> action = std::move(g_actions[N]);
    g_actions[N] = nullptr;
    if (action)
        action();
}

constexpr EVENTFN kH[] = {H<0>, H<1>, H<2>, H<3>, H<4>, H<5>};

class Events : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sys_EventInit();
        g_log.clear();
        g_args.clear();
        for (auto &a : g_actions)
            a = nullptr;
        ASSERT_EQ(Sys_EventCreateClass(1, 11), EVENT_OK);
    }
    void TearDown() override { Sys_EventInit(); }

    std::string Dispatch(uint32_t id, uintptr_t arg = 0)
    {
        g_log.clear();
        Sys_EventDispatch(id, arg);
        return g_log;
    }
};

TEST_F(Events, DispatchCallsHandlersInRegistrationOrderWithTheArgument)
{
    for (int n : {2, 0, 1, 0})
        ASSERT_EQ(Sys_EventAddHandler(0x10004, kH[n]), EVENT_OK);
    ASSERT_EQ(Sys_EventAddHandler(0x10004, nullptr), EVENT_OK); // counted, skipped
    ASSERT_EQ(Sys_EventAddHandler(0x10005, H<5>), EVENT_OK);
    EXPECT_EQ(Sys_EventCountHandlers(0x10004), 5);

    struct CardState
    {
        int state;
    } card{3};
    EXPECT_EQ(Dispatch(0x10004, (uintptr_t)&card), "2010");
    for (uintptr_t a : g_args)
        EXPECT_EQ(((CardState *)a)->state, 3);

    // One removal takes the first registration only.
    EXPECT_EQ(Sys_EventRemoveHandler(0x10004, H<0>), EVENT_OK);
    EXPECT_EQ(Dispatch(0x10004), "210");
    EXPECT_EQ(Sys_EventCountHandlers(0x10004), 4);
    EXPECT_EQ(Dispatch(0x10005), "5");
    EXPECT_EQ(Dispatch(0x10007), "");
}

TEST_F(Events, ErrorCodes)
{
    ASSERT_EQ(Sys_EventAddHandler(0x10004, H<0>), EVENT_OK);
    struct Case
    {
        const char *what;
        int got, want;
    } cases[] = {
        {"create class 1 again", Sys_EventCreateClass(1, 11), EVENT_ERR_EXISTS},
        {"remove unregistered", Sys_EventRemoveHandler(0x10004, H<1>), EVENT_ERR_NOTREGISTERED},
        {"remove from other slot", Sys_EventRemoveHandler(0x10005, H<0>), EVENT_ERR_NOTREGISTERED},
        {"remove, no class", Sys_EventRemoveHandler(0x20000, H<0>), EVENT_ERR_NOCLASS},
        {"add, no class", Sys_EventAddHandler(0x20000, H<0>), EVENT_ERR_NOCLASS},
        {"count, no class", Sys_EventCountHandlers(0x20000), -1},
        {"destroy, no class", Sys_EventDestroyClass(2), EVENT_ERR_NOCLASS},
        {"destroy, negative", Sys_EventDestroyClass(-1), EVENT_ERR_NOCLASS},
        // Slots outside the class.
        {"add slot 11", Sys_EventAddHandler(0x1000b, H<0>), EVENT_ERR_BADSLOT},
        {"add slot 0xffff", Sys_EventAddHandler(0x1ffff, H<0>), EVENT_ERR_BADSLOT},
        {"remove slot 11", Sys_EventRemoveHandler(0x1000b, H<0>), EVENT_ERR_BADSLOT},
        {"count slot 11", Sys_EventCountHandlers(0x1000b), -1},
        // Classes ids cannot reach.
        {"create class -1", Sys_EventCreateClass(-1, 4), EVENT_ERR_BADSLOT},
        {"create class 0x10000", Sys_EventCreateClass(0x10000, 4), EVENT_ERR_BADSLOT},
        {"create 0 slots", Sys_EventCreateClass(5, 0), EVENT_ERR_BADSLOT},
        {"create -3 slots", Sys_EventCreateClass(5, -3), EVENT_ERR_BADSLOT},
        {"create 0x10001 slots", Sys_EventCreateClass(5, 0x10001), EVENT_ERR_BADSLOT},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_EQ(Sys_EventFindClass(5), nullptr);
    EXPECT_EQ(Sys_EventFindClass(-1), nullptr);
    EXPECT_EQ(Dispatch(0x1000b), ""); // bad slot: nothing
    EXPECT_EQ(Dispatch(0x20000), ""); // no class: nothing
    EXPECT_EQ(Dispatch(0x10004), "0");
}

TEST_F(Events, EverySlotOfAFullClassIsItsOwn)
{
    for (uint32_t slot = 0; slot < 11; slot++)
        for (int k = 0; k <= (int)slot % 3; k++)
            ASSERT_EQ(Sys_EventAddHandler(0x10000 | slot, kH[k]), EVENT_OK);
    for (uint32_t slot = 0; slot < 11; slot++)
    {
        EXPECT_EQ(Sys_EventCountHandlers(0x10000 | slot), (int)slot % 3 + 1);
        EXPECT_EQ(Dispatch(0x10000 | slot), std::string("012").substr(0, slot % 3 + 1));
    }
    // The widest class ids can address.
    ASSERT_EQ(Sys_EventCreateClass(0xffff, 0x10000), EVENT_OK);
    EXPECT_EQ(Sys_EventAddHandler(0xffffffffu, H<4>), EVENT_OK);
    EXPECT_EQ(Dispatch(0xffffffffu), "4");
}

TEST_F(Events, ClassesStaySortedAndDestroyFreesTheirHandlers)
{
    for (int32_t id : {3, 7, 2, 0xffff, 0})
        ASSERT_EQ(Sys_EventCreateClass(id, 4), EVENT_OK);
    std::vector<int32_t> order;
    for (EVENTCLASS *c = g_pEventClasses->next; c; c = c->next)
        order.push_back(c->classId);
    EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2, 3, 7, 0xffff}));
    EXPECT_EQ(g_pEventClasses->classId, -1);
    for (int32_t id : order)
        EXPECT_EQ(Sys_EventFindClass(id)->classId, id);
    EXPECT_EQ(Sys_EventFindClass(4), nullptr);

    for (int n = 0; n < 4; n++)
        ASSERT_EQ(Sys_EventAddHandler(0x30000 | n, kH[n]), EVENT_OK);
    ASSERT_EQ(Sys_EventAddHandler(0x30000, H<5>), EVENT_OK);
    EXPECT_EQ(Sys_EventDestroyClass(3), EVENT_OK);
    EXPECT_EQ(Sys_EventFindClass(3), nullptr);
    EXPECT_EQ(Sys_EventAddHandler(0x30000, H<0>), EVENT_ERR_NOCLASS);
    EXPECT_EQ(Dispatch(0x30000), "");

    // Clearing keeps the class and empties every slot.
    ASSERT_EQ(Sys_EventAddHandler(0x70001, H<1>), EVENT_OK);
    ASSERT_EQ(Sys_EventAddHandler(0x70001, H<2>), EVENT_OK);
    Sys_EventClearClass(Sys_EventFindClass(7), 7);
    EXPECT_EQ(Sys_EventCountHandlers(0x70001), 0);
    EXPECT_EQ(Sys_EventAddHandler(0x70001, H<3>), EVENT_OK);
    EXPECT_EQ(Dispatch(0x70001), "3");
    // Classes left behind are freed by the next Sys_EventInit (the leak checker watches).
}

// Handlers that change the registry while their event is being dispatched. The asan build shows
// there is no use of a freed node; the logs show which handlers each dispatch called.
TEST_F(Events, ChangesDuringDispatch)
{
    const uint32_t ev = 0x10004;
    struct Case
    {
        const char *what;
        std::function<void()> setup; // sets g_actions for handlers 0..3, registered in order
        std::string first, second;   // what the dispatch, and a following one, call
    } cases[] = {
        {"handler removes itself",
         [&] { g_actions[1] = [&] { EXPECT_EQ(Sys_EventRemoveHandler(ev, H<1>), 0); }; }, "0123",
         "023"},
        {"first handler removes itself",
         [&] { g_actions[0] = [&] { Sys_EventRemoveHandler(ev, H<0>); }; }, "0123", "123"},
        {"last handler removes itself",
         [&] { g_actions[3] = [&] { Sys_EventRemoveHandler(ev, H<3>); }; }, "0123", "012"},
        {"handler removes itself and the next",
         [&] {
             g_actions[1] = [&] {
                 Sys_EventRemoveHandler(ev, H<1>);
                 Sys_EventRemoveHandler(ev, H<2>);
             };
         },
         "013", "03"},
        {"handler removes the next, then itself",
         [&] {
             g_actions[1] = [&] {
                 Sys_EventRemoveHandler(ev, H<2>);
                 Sys_EventRemoveHandler(ev, H<1>);
             };
         },
         "013", "03"},
        {"handler removes one that already ran",
         [&] { g_actions[2] = [&] { Sys_EventRemoveHandler(ev, H<0>); }; }, "0123", "123"},
        {"handler removes every handler",
         [&] { g_actions[1] = [&] { Sys_EventClearClass(nullptr, 1); }; }, "01", ""},
        {"handler destroys the class",
         [&] { g_actions[2] = [&] { EXPECT_EQ(Sys_EventDestroyClass(1), 0); }; }, "012", ""},
        {"handler adds one: it runs at the tail",
         [&] { g_actions[0] = [&] { Sys_EventAddHandler(ev, H<4>); }; }, "01234", "01234"},
        {"nested dispatch removes the outer handler",
         [&] {
             g_actions[1] = [&] { Sys_EventDispatch(ev, 0); };
             g_actions[2] = [&] {
                 Sys_EventRemoveHandler(ev, H<2>);
                 Sys_EventRemoveHandler(ev, H<1>);
             };
         },
         "01" "0" "123" "3", "03"},
    };
    for (Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        Sys_EventInit();
        ASSERT_EQ(Sys_EventCreateClass(1, 11), EVENT_OK);
        for (auto &a : g_actions)
            a = nullptr;
        for (int n = 0; n < 4; n++)
            ASSERT_EQ(Sys_EventAddHandler(ev, kH[n]), EVENT_OK);
        c.setup();
        EXPECT_EQ(Dispatch(ev), c.first);
        EXPECT_EQ(Dispatch(ev), c.second);
        EXPECT_EQ(Sys_EventCountHandlers(ev), Sys_EventFindClass(1) ? (int)c.second.size() : -1);
    }
}

TEST_F(Events, OutOfMemoryKeepsNothing)
{
    for (int succeed : {0, 1})
    {
        FailAlloc fail(succeed); // the class record, then its slot heads, fail
        EXPECT_EQ(Sys_EventCreateClass(3, 4), EVENT_ERR_NOMEM) << succeed;
        fail.Stop();
        EXPECT_EQ(Sys_EventFindClass(3), nullptr);
    }
    ASSERT_EQ(Sys_EventCreateClass(3, 4), EVENT_OK);

    ASSERT_EQ(Sys_EventAddHandler(0x30001, H<1>), EVENT_OK);
    {
        FailAlloc fail;
        EXPECT_EQ(Sys_EventAddHandler(0x30001, H<2>), EVENT_ERR_NOMEM);
        // Removing and dispatching need no memory.
        EXPECT_EQ(Dispatch(0x30001), "1");
        EXPECT_EQ(Sys_EventRemoveHandler(0x30001, H<1>), EVENT_OK);
    }
    EXPECT_EQ(Sys_EventCountHandlers(0x30001), 0);
}

} // namespace
