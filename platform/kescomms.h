// The lobby communications library, as the studio calls it.
//
// The outside library is not available here, so this is our own small replacement with the calls the
// studio makes: by default a null library that accepts every call, and for tests a recording fake
// that logs each call with its values and answers what the test asks.
// Results: 0 success, anything else failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of the data client list: 32 bytes, the name text in the second word.
struct KESDATACLIENT
{
    uint32_t uId;
    const char *pszName;
    uint8_t abReserved[16];
};
static_assert(sizeof(KESDATACLIENT) == 32);

int InitKesComms(int mode, const char *advertIp, const char *advertPort, int port, int flags,
                 const unsigned char *options);
int SetGeneralData(int field, const char *text);
int SetGeneralData(int field, int value);
int SetKestrixCompatibilityData(const void *data, int size);
int SetFieldData(int field, const int32_t *value);
int SetKestrixNonHeadlineData(const void *data, int size);
int RegisterGameServer(int a, int serverType, int timeout, int c);
int GetRegistrationStatus();
int KestrixStartResponse();
int SetKestrixDataClientList(const KESDATACLIENT *list, int count, int maxPlayers);
int KestrixStopResponse();
int UnRegisterGameServer(int a, int serverType, int timeout);

// Recording fake: when on, every call is logged as "Name(values)" and answers `result`;
// GetRegistrationStatus answers `status`. Off: the null library (everything 0, status 1).
// Calls may come from any thread; the log is read as a copy.
void Kes_UseFake(bool on, int result = 0, int status = 1);
std::vector<std::string> Kes_FakeLog();
