// Event registry: classes of numbered slots, each slot an ordered list of handlers called with one
// pointer-sized argument. An event id is class << 16 | slot.
//
// Dispatch calls the handlers synchronously on the caller's thread, in registration order. A
// handler may add or remove registrations (its own included) and even destroy its class while the
// event is being dispatched: removed nodes are unlinked at once but freed only when the outermost
// dispatch ends, so the running walk never touches freed memory and skips every node removed
// before its turn. Registration happens on the main thread; a class whose events are dispatched
// from a timer thread gets its handlers before that timer starts.
#pragma once

#include <cstdint>

typedef void (*EVENTFN)(uintptr_t arg);

struct EVENTHANDLER
{
    EVENTHANDLER *next;
    EVENTHANDLER *prev;
    EVENTFN function; // null: skipped at dispatch (list heads and removed nodes are null)
};

struct EVENTCLASS
{
    EVENTCLASS *next; // ascending class id
    int32_t classId;
    int32_t slotCount;
    EVENTHANDLER *slots; // slotCount list heads
};

enum
{
    EVENT_OK = 0,
    EVENT_ERR_EXISTS = -1,
    EVENT_ERR_NOMEM = -2,
    EVENT_ERR_NOCLASS = -3,
    EVENT_ERR_NOTREGISTERED = -4,
    EVENT_ERR_BADSLOT = -5, // slot outside its class, or a class id or slot count ids cannot reach
};

// Sentinel of the class list (id -1, no slots); never freed.
extern EVENTCLASS *g_pEventClasses;

// Empties the class list, freeing any class still in it.
void Sys_EventInit();
EVENTCLASS *Sys_EventFindClass(int32_t classId);
// 0, EVENT_ERR_EXISTS, EVENT_ERR_NOMEM (nothing kept), EVENT_ERR_BADSLOT.
int Sys_EventCreateClass(int32_t classId, int32_t slotCount);
// Appends a registration. 0, EVENT_ERR_NOMEM, EVENT_ERR_NOCLASS, EVENT_ERR_BADSLOT.
int Sys_EventAddHandler(uint32_t eventId, EVENTFN function);
// Removes the first registration of the function. 0, EVENT_ERR_NOCLASS, EVENT_ERR_NOTREGISTERED,
// EVENT_ERR_BADSLOT.
int Sys_EventRemoveHandler(uint32_t eventId, EVENTFN function);
// Number of registrations; -1 when the class does not exist or the slot is outside it.
int Sys_EventCountHandlers(uint32_t eventId);
void Sys_EventClearClass(EVENTCLASS *eventClass, int32_t classId);
// 0 or EVENT_ERR_NOCLASS.
int Sys_EventDestroyClass(int32_t classId);
// Calls every handler of the event; nothing when the class or slot does not exist.
void Sys_EventDispatch(uint32_t eventId, uintptr_t arg);
// Unlinks a registration and frees it (once no dispatch is running).
void Sys_EventFreeHandler(EVENTHANDLER *handler);
