#include "snmp_dl.h"

#include <dlfcn.h>

#include <initializer_list>

namespace {

constexpr const char* kFunctions[6] = {"snmp_sess_init", "snmp_open",  "snmp_sess_perror",
                                       "snmp_select_info", "snmp_read", "snmp_timeout"};

void* openFirst(std::initializer_list<const char*> names, int flags)
{
    for (const char* name : names)
        if (void* handle = ::dlopen(name, flags)) return handle;
    return nullptr;
}

template <class F>
F bound(void* handle)
{
    return reinterpret_cast<F>(handle);
}

} // namespace

bool CSnmpDl::Load()
{
    // The crypto library only helps the SNMP library resolve its own dependencies.
    pCryptoLibraryHandle = openFirst({"libcrypto.so.0", "libcrypto.so"}, RTLD_LAZY | RTLD_GLOBAL);
    pSnmpLibraryHandle = openFirst({"libsnmp.so.40", "libsnmp.so.0", "libsnmp.so"}, RTLD_LAZY);
    if (!pSnmpLibraryHandle) return false;
    for (int i = 0; i < 6; ++i) {
        ::dlerror();
        FunctionHandles[i] = ::dlsym(pSnmpLibraryHandle, kFunctions[i]);
        if (::dlerror() != nullptr || FunctionHandles[i] == nullptr) return false;
    }
    return true;
}

void CSnmpDl::Unload()
{
    for (void*& f : FunctionHandles) f = nullptr;
    if (pSnmpLibraryHandle) ::dlclose(pSnmpLibraryHandle);
    if (pCryptoLibraryHandle) ::dlclose(pCryptoLibraryHandle);
    pSnmpLibraryHandle = pCryptoLibraryHandle = nullptr;
}

void CSnmpDl::snmp_sess_init(netsnmp_session* session)
{
    if (auto f = bound<void (*)(netsnmp_session*)>(FunctionHandles[0])) f(session);
}

netsnmp_session* CSnmpDl::snmp_open(netsnmp_session* session)
{
    auto f = bound<netsnmp_session* (*)(netsnmp_session*)>(FunctionHandles[1]);
    return f ? f(session) : nullptr;
}

void CSnmpDl::snmp_sess_perror(const char* prefix, netsnmp_session* session)
{
    if (auto f = bound<void (*)(const char*, netsnmp_session*)>(FunctionHandles[2])) f(prefix, session);
}

int CSnmpDl::snmp_select_info(int* numfds, fd_set* fdset, timeval* timeout, int* block)
{
    auto f = bound<int (*)(int*, fd_set*, timeval*, int*)>(FunctionHandles[3]);
    return f ? f(numfds, fdset, timeout, block) : -1;
}

void CSnmpDl::snmp_read(fd_set* fdset)
{
    if (auto f = bound<void (*)(fd_set*)>(FunctionHandles[4])) f(fdset);
}

void CSnmpDl::snmp_timeout()
{
    if (auto f = bound<void (*)()>(FunctionHandles[5])) f();
}
