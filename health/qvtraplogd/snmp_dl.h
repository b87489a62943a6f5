// The net-snmp client library bound at run time: the service compiles against its published
// session, PDU and variable-binding records and links no net-snmp library.
#pragma once

#include "snmp_records.h"

#include <sys/select.h>

class CSnmpDl {
public:
    CSnmpDl() = default;
    ~CSnmpDl() { Unload(); }
    CSnmpDl(const CSnmpDl&) = delete;
    CSnmpDl& operator=(const CSnmpDl&) = delete;

    // Loads the library (the installed soname first) and binds the six functions.
    bool Load();
    void Unload();

    void snmp_sess_init(netsnmp_session* session);
    netsnmp_session* snmp_open(netsnmp_session* session);
    void snmp_sess_perror(const char* prefix, netsnmp_session* session);
    int snmp_select_info(int* numfds, fd_set* fdset, timeval* timeout, int* block);
    void snmp_read(fd_set* fdset);
    void snmp_timeout();

private:
    void* pSnmpLibraryHandle = nullptr;
    void* pCryptoLibraryHandle = nullptr;
    void* FunctionHandles[6] = {};
};
