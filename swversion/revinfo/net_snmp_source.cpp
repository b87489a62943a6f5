// The agent list's SNMP client: net-snmp loaded by name at run time, so the library carries no
// link-time dependency on it. The installed soname comes first (its layout is the one these
// headers describe), then the older names; a missing crypto library is tolerated.
#include <cerrno>
#include <cstring>
#include <dlfcn.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "agent_list.h"

namespace revinfo {

namespace {

constexpr char kCommunity[] = "mantle";

void* openFirst(std::initializer_list<const char*> names, int flags)
{
    for (const char* name : names)
        if (void* handle = ::dlopen(name, flags)) return handle;
    return nullptr;
}

// The client library, loaded and initialised once per process: unloading it after every query
// would lose (and leak) the state init_snmp builds each time.
class NetSnmpLibrary {
public:
    static NetSnmpLibrary* instance()
    {
        static NetSnmpLibrary library;
        return library.complete_ ? &library : nullptr;
    }

    decltype(&::snmp_add_null_var) addNullVar = nullptr;
    decltype(&::snmp_close) close = nullptr;
    decltype(&::snmp_free_pdu) freePdu = nullptr;
    decltype(&::snmp_open) open = nullptr;
    decltype(&::snmp_pdu_create) pduCreate = nullptr;
    decltype(&::snmp_sess_init) sessInit = nullptr;
    decltype(&::snmp_synch_response) synchResponse = nullptr;
    decltype(&::snmp_log) log = nullptr;
    decltype(&::read_objid) readObjid = nullptr;

private:
    NetSnmpLibrary()
    {
        openFirst({"libcrypto.so.0", "libcrypto.so"}, RTLD_LAZY | RTLD_GLOBAL);
        handle_ = openFirst({"libsnmp.so.40", "libsnmp.so.0", "libsnmp.so"}, RTLD_LAZY);
        decltype(&::init_snmp) init = nullptr;
        complete_ = handle_ != nullptr && resolve(init, "init_snmp") && resolve(addNullVar, "snmp_add_null_var") &&
                    resolve(close, "snmp_close") && resolve(freePdu, "snmp_free_pdu") &&
                    resolve(open, "snmp_open") && resolve(pduCreate, "snmp_pdu_create") &&
                    resolve(sessInit, "snmp_sess_init") && resolve(synchResponse, "snmp_synch_response") &&
                    resolve(log, "snmp_log") && resolve(readObjid, "read_objid");
        if (complete_) init("snmpapp");
    }

    template <typename Function>
    bool resolve(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(::dlsym(handle_, name));
        return function != nullptr;
    }

    void* handle_ = nullptr;
    bool complete_ = false;
};

class NetSnmpSource final : public AgentTableSource {
public:
    ~NetSnmpSource() override
    {
        if (session_ != nullptr) lib_->close(session_);
    }

    int open() override
    {
        lib_ = NetSnmpLibrary::instance();
        if (lib_ == nullptr) return 1;
        netsnmp_session settings;
        lib_->sessInit(&settings);
        settings.peername = const_cast<char*>("127.0.0.1");
        settings.version = SNMP_VERSION_1;
        settings.community = reinterpret_cast<u_char*>(const_cast<char*>(kCommunity));
        settings.community_len = std::strlen(kCommunity);
        session_ = lib_->open(&settings);
        if (session_ == nullptr) {
            lib_->log(LOG_ERR, "Could not open SNMP session.\n");
            return errno != 0 ? errno : 1;
        }
        return 0;
    }

    SnmpGetResult get(const std::string& oidText) override
    {
        SnmpGetResult result;
        netsnmp_pdu* request = lib_->pduCreate(SNMP_MSG_GET);
        if (request == nullptr) return result;
        oid name[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        if (lib_->readObjid(oidText.c_str(), name, &length) == 0) {
            lib_->freePdu(request);
            return result;
        }
        lib_->addNullVar(request, name, length);
        netsnmp_pdu* response = nullptr;
        if (lib_->synchResponse(session_, request, &response) == STAT_SUCCESS && response != nullptr) {
            result.exchanged = true;
            result.errorStatus = response->errstat;
            if (const netsnmp_variable_list* var = response->variables) {
                if (var->type == ASN_OCTET_STR && var->val.string != nullptr) {
                    result.isString = true;
                    result.text.assign(reinterpret_cast<const char*>(var->val.string), var->val_len);
                } else if (var->type == ASN_INTEGER && var->val.integer != nullptr) {
                    result.isInteger = true;
                    result.integer = *var->val.integer;
                }
            }
        }
        if (response != nullptr) lib_->freePdu(response);
        return result;
    }

private:
    NetSnmpLibrary* lib_ = nullptr;
    netsnmp_session* session_ = nullptr;
};

} // namespace

std::unique_ptr<AgentTableSource> netSnmpSource() { return std::make_unique<NetSnmpSource>(); }

} // namespace revinfo
