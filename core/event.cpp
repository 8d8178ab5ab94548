#include "core/event.h"

#include "core/idpool.h"

#include <atomic>
#include <mutex>

namespace {

EVENTCLASS g_EventSentinel = {nullptr, -1, 0, nullptr};

// Dispatches running on any thread. While one runs, removed nodes and destroyed classes wait in
// the pending lists (handlers chained through prev, classes through next) so that a walk standing
// on them can still follow their next links.
std::atomic<int> g_iDispatchDepth{0};
std::atomic<bool> g_bEventPending{false};
std::mutex g_mxEventPending;
EVENTHANDLER *g_pPendingHandlers = nullptr;
EVENTCLASS *g_pPendingClasses = nullptr;

void FreeClassNow(EVENTCLASS *c)
{
    Sys_MemFree(c->slots);
    Sys_MemFree(c);
}

void FlushPending()
{
    EVENTHANDLER *handlers;
    EVENTCLASS *classes;
    {
        std::lock_guard<std::mutex> lock(g_mxEventPending);
        if (g_iDispatchDepth.load() != 0)
            return;
        handlers = g_pPendingHandlers;
        classes = g_pPendingClasses;
        g_pPendingHandlers = nullptr;
        g_pPendingClasses = nullptr;
        g_bEventPending = false;
    }
    while (handlers)
    {
        EVENTHANDLER *h = handlers;
        handlers = h->prev;
        Sys_MemFree(h);
    }
    while (classes)
    {
        EVENTCLASS *c = classes;
        classes = c->next;
        FreeClassNow(c);
    }
}

// Head of the slot an event id names, null when the class or the slot does not exist.
EVENTHANDLER *SlotHead(uint32_t eventId, int *error)
{
    EVENTCLASS *c = Sys_EventFindClass((int32_t)(eventId >> 16));
    if (!c)
    {
        *error = EVENT_ERR_NOCLASS;
        return nullptr;
    }
    uint32_t slot = eventId & 0xffffu;
    if (slot >= (uint32_t)c->slotCount)
    {
        *error = EVENT_ERR_BADSLOT;
        return nullptr;
    }
    *error = EVENT_OK;
    return &c->slots[slot];
}

} // namespace

EVENTCLASS *g_pEventClasses = &g_EventSentinel;

void Sys_EventInit()
{
    while (g_EventSentinel.next)
        Sys_EventDestroyClass(g_EventSentinel.next->classId);
    g_EventSentinel.next = nullptr;
    g_EventSentinel.classId = -1;
    g_EventSentinel.slotCount = 0;
    g_EventSentinel.slots = nullptr;
}

EVENTCLASS *Sys_EventFindClass(int32_t classId)
{
    if (classId < 0)
        return nullptr;
    EVENTCLASS *c = g_pEventClasses;
    while (c->next && c->next->classId <= classId)
        c = c->next;
    return c->classId == classId ? c : nullptr;
}

int Sys_EventCreateClass(int32_t classId, int32_t slotCount)
{
    if (classId < 0 || classId > 0xffff || slotCount < 1 || slotCount > 0x10000)
        return EVENT_ERR_BADSLOT;
    EVENTCLASS *prev = g_pEventClasses;
    while (prev->next && prev->next->classId < classId)
        prev = prev->next;
    if (prev->next && prev->next->classId == classId)
        return EVENT_ERR_EXISTS;

    EVENTCLASS *c = (EVENTCLASS *)Sys_MemHeapAlloc(sizeof(EVENTCLASS));
    if (!c)
        return EVENT_ERR_NOMEM;
    c->slots = (EVENTHANDLER *)Sys_MemHeapAlloc(sizeof(EVENTHANDLER) * (size_t)slotCount);
    if (!c->slots)
    {
        Sys_MemFree(c);
        return EVENT_ERR_NOMEM;
    }
    c->classId = classId;
    c->slotCount = slotCount;
    for (int32_t s = 0; s < slotCount; s++)
    {
        EVENTHANDLER *head = &c->slots[s];
        head->next = head;
        head->prev = head;
        head->function = nullptr;
    }
    c->next = prev->next;
    prev->next = c;
    return EVENT_OK;
}

int Sys_EventAddHandler(uint32_t eventId, EVENTFN function)
{
    int error;
    EVENTHANDLER *head = SlotHead(eventId, &error);
    if (!head)
        return error;
    EVENTHANDLER *h = (EVENTHANDLER *)Sys_MemHeapAlloc(sizeof(EVENTHANDLER));
    if (!h)
        return EVENT_ERR_NOMEM;
    h->function = function;
    h->next = head;
    h->prev = head->prev;
    head->prev->next = h;
    head->prev = h;
    return EVENT_OK;
}

int Sys_EventRemoveHandler(uint32_t eventId, EVENTFN function)
{
    int error;
    EVENTHANDLER *head = SlotHead(eventId, &error);
    if (!head)
        return error;
    for (EVENTHANDLER *h = head->next; h != head; h = h->next)
    {
        if (h->function == function)
        {
            Sys_EventFreeHandler(h);
            return EVENT_OK;
        }
    }
    return EVENT_ERR_NOTREGISTERED;
}

int Sys_EventCountHandlers(uint32_t eventId)
{
    int error;
    EVENTHANDLER *head = SlotHead(eventId, &error);
    if (!head)
        return -1;
    int n = 0;
    for (EVENTHANDLER *h = head->next; h != head; h = h->next)
        n++;
    return n;
}

void Sys_EventClearClass(EVENTCLASS *eventClass, int32_t classId)
{
    if (!eventClass)
        eventClass = Sys_EventFindClass(classId);
    if (!eventClass)
        return;
    for (int32_t s = 0; s < eventClass->slotCount; s++)
    {
        EVENTHANDLER *head = &eventClass->slots[s];
        while (head->next != head)
            Sys_EventFreeHandler(head->next);
    }
}

int Sys_EventDestroyClass(int32_t classId)
{
    if (classId < 0)
        return EVENT_ERR_NOCLASS;
    EVENTCLASS *prev = g_pEventClasses;
    while (prev->next && prev->next->classId != classId)
        prev = prev->next;
    EVENTCLASS *c = prev->next;
    if (!c)
        return EVENT_ERR_NOCLASS;
    Sys_EventClearClass(c, classId);
    prev->next = c->next;

    // A dispatch may be walking this class's heads.
    {
        std::lock_guard<std::mutex> lock(g_mxEventPending);
        if (g_iDispatchDepth.load() != 0)
        {
            c->next = g_pPendingClasses;
            g_pPendingClasses = c;
            g_bEventPending = true;
            return EVENT_OK;
        }
    }
    FreeClassNow(c);
    return EVENT_OK;
}

void Sys_EventDispatch(uint32_t eventId, uintptr_t arg)
{
    g_iDispatchDepth.fetch_add(1);
    int error;
    EVENTHANDLER *head = SlotHead(eventId, &error);
    if (head)
    {
        // A removed node keeps its next link and reads as a null function until the flush.
        for (EVENTHANDLER *h = head->next; h != head; h = h->next)
        {
            EVENTFN fn = h->function;
            if (fn)
                fn(arg);
        }
    }
    if (g_iDispatchDepth.fetch_sub(1) == 1 && g_bEventPending.load())
        FlushPending();
}

void Sys_EventFreeHandler(EVENTHANDLER *handler)
{
    if (!handler)
        return;
    handler->prev->next = handler->next;
    handler->next->prev = handler->prev;
    handler->function = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mxEventPending);
        if (g_iDispatchDepth.load() != 0)
        {
            handler->prev = g_pPendingHandlers;
            g_pPendingHandlers = handler;
            g_bEventPending = true;
            return;
        }
    }
    Sys_MemFree(handler);
}
