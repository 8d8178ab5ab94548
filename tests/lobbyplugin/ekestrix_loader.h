// A lobby client's view of libekestrix.so: loaded by path, every export looked up by name.
#pragma once

#include "lobbyplugin/ekestrix.h"
#include "platform/dynlib.h"

#include <string>

inline const char *const kEkestrixExports[] = {
    "EkestrixInit",
    "GetEkestrixVersion",
    "GetEkestrixHeader",
    "GetEkestrixHeaderEx",
    "EkestrixSetId",
    "EkestrixHasDialog",
    "GetFieldBits",
    "GetFieldType",
    "GetFieldName",
    "DecodeFieldData",
    "EkestrixViewRemoteGameDialog",
    "EkestrixViewRemoteGameDialogEnd",
    "EkestrixCompatibleWithGameServer",
    "EkestrixExitLaunch",
};

class EkestrixLoader
{
public:
    EkestrixLoader() = default;
    EkestrixLoader(const EkestrixLoader &) = delete;
    EkestrixLoader &operator=(const EkestrixLoader &) = delete;
    ~EkestrixLoader() { Plat_DynLibClose(m_lib); }

    // Opens the library at path and finds every export; false (see Error) when any is missing.
    bool Load(const std::string &path)
    {
        m_lib = Plat_DynLibOpen(path.c_str());
        if (!m_lib) {
            m_error = Plat_DynLibError();
            return false;
        }
        return Find(Init, "EkestrixInit") && Find(Version, "GetEkestrixVersion") &&
               Find(Header, "GetEkestrixHeader") && Find(HeaderEx, "GetEkestrixHeaderEx") &&
               Find(SetId, "EkestrixSetId") && Find(HasDialog, "EkestrixHasDialog") &&
               Find(FieldBits, "GetFieldBits") && Find(FieldType, "GetFieldType") &&
               Find(FieldName, "GetFieldName") && Find(DecodeFieldData, "DecodeFieldData") &&
               Find(ViewDialog, "EkestrixViewRemoteGameDialog") &&
               Find(EndDialog, "EkestrixViewRemoteGameDialogEnd") &&
               Find(Compatible, "EkestrixCompatibleWithGameServer") &&
               Find(ExitLaunch, "EkestrixExitLaunch");
    }
    void *Symbol(const char *name) { return m_lib ? Plat_DynLibSymbol(m_lib, name) : nullptr; }
    const std::string &Error() const { return m_error; }

    decltype(&::EkestrixInit) Init = nullptr;
    decltype(&::GetEkestrixVersion) Version = nullptr;
    decltype(&::GetEkestrixHeader) Header = nullptr;
    decltype(&::GetEkestrixHeaderEx) HeaderEx = nullptr;
    decltype(&::EkestrixSetId) SetId = nullptr;
    decltype(&::EkestrixHasDialog) HasDialog = nullptr;
    decltype(&::GetFieldBits) FieldBits = nullptr;
    decltype(&::GetFieldType) FieldType = nullptr;
    decltype(&::GetFieldName) FieldName = nullptr;
    decltype(&::DecodeFieldData) DecodeFieldData = nullptr;
    decltype(&::EkestrixViewRemoteGameDialog) ViewDialog = nullptr;
    decltype(&::EkestrixViewRemoteGameDialogEnd) EndDialog = nullptr;
    decltype(&::EkestrixCompatibleWithGameServer) Compatible = nullptr;
    decltype(&::EkestrixExitLaunch) ExitLaunch = nullptr;

private:
    template <typename F> bool Find(F &fn, const char *name)
    {
        void *p = Symbol(name);
        if (!p) {
            m_error = std::string("missing export ") + name;
            return false;
        }
        fn = reinterpret_cast<F>(p);
        return true;
    }

    PLATDYNLIB *m_lib = nullptr;
    std::string m_error;
};
