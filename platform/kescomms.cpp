#include "platform/kescomms.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

// The server's receive thread updates the client list while the main thread registers.
std::atomic<bool> s_fake{false};
std::atomic<int> s_result{0};
std::atomic<int> s_status{1};
std::mutex s_logLock;
std::vector<std::string> s_log;

void Record(const std::string &call)
{
    std::lock_guard<std::mutex> hold(s_logLock);
    s_log.push_back(call);
}

int Answer(const std::string &call)
{
    if (!s_fake)
        return 0;
    Record(call);
    return s_result;
}

std::string Text(const char *s)
{
    return s ? std::string("\"") + s + "\"" : std::string("null");
}

bool AllZero(const void *data, int size)
{
    const auto *p = static_cast<const unsigned char *>(data);
    for (int i = 0; p && i < size; i++)
        if (p[i] != 0)
            return false;
    return true;
}

} // namespace

int InitKesComms(int mode, const char *advertIp, const char *advertPort, int port, int flags,
                 const unsigned char *options)
{
    return Answer("InitKesComms(" + std::to_string(mode) + "," + Text(advertIp) + "," + Text(advertPort) + "," +
                  std::to_string(port) + "," + std::to_string(flags) + "," +
                  (options ? std::to_string(*options) : std::string("null")) + ")");
}

int SetGeneralData(int field, const char *text)
{
    return Answer("SetGeneralData(" + std::to_string(field) + "," + Text(text) + ")");
}

int SetGeneralData(int field, int value)
{
    return Answer("SetGeneralData(" + std::to_string(field) + "," + std::to_string(value) + ")");
}

int SetKestrixCompatibilityData(const void *data, int size)
{
    return Answer("SetKestrixCompatibilityData(" + std::string(AllZero(data, size) ? "zero" : "data") + "," +
                  std::to_string(size) + ")");
}

int SetFieldData(int field, const int32_t *value)
{
    return Answer("SetFieldData(" + std::to_string(field) + "," + (value ? std::to_string(*value) : "null") + ")");
}

int SetKestrixNonHeadlineData(const void *data, int size)
{
    return Answer("SetKestrixNonHeadlineData(" + std::string(AllZero(data, size) ? "zero" : "data") + "," +
                  std::to_string(size) + ")");
}

int RegisterGameServer(int a, int serverType, int timeout, int c)
{
    return Answer("RegisterGameServer(" + std::to_string(a) + "," + std::to_string(serverType) + "," +
                  std::to_string(timeout) + "," + std::to_string(c) + ")");
}

int GetRegistrationStatus()
{
    if (!s_fake)
        return 1;
    Record("GetRegistrationStatus()");
    return s_status;
}

int KestrixStartResponse()
{
    return Answer("KestrixStartResponse()");
}

int SetKestrixDataClientList(const KESDATACLIENT *list, int count, int maxPlayers)
{
    std::string names;
    for (int i = 0; list && i < count; i++)
        names += (i ? "/" : "") + std::string(list[i].pszName ? list[i].pszName : "null");
    return Answer("SetKestrixDataClientList(" + names + "," + std::to_string(count) + "," +
                  std::to_string(maxPlayers) + ")");
}

int KestrixStopResponse()
{
    return Answer("KestrixStopResponse()");
}

int UnRegisterGameServer(int a, int serverType, int timeout)
{
    return Answer("UnRegisterGameServer(" + std::to_string(a) + "," + std::to_string(serverType) + "," +
                  std::to_string(timeout) + ")");
}

void Kes_UseFake(bool on, int result, int status)
{
    s_fake = on;
    s_result = result;
    s_status = status;
    std::lock_guard<std::mutex> hold(s_logLock);
    s_log.clear();
}

std::vector<std::string> Kes_FakeLog()
{
    std::lock_guard<std::mutex> hold(s_logLock);
    return s_log;
}
