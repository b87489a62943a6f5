// The volume capacity programs' outside input: mount table lines with the file status
// stand-in, the names file, the state entry "Var" and a history file. Input: a mode byte, then
// for mode 0 the stand-in file, NUL, the mount table; otherwise the file's contents.
#include "drv_info.h"
#include "fuzz_root.h"
#include "volcap_files.h"

#include <string>

namespace {

const std::string kDir = "/usr/qvserver/etc/";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string& root = qv::fuzz::privateRoot();
    qv::fuzz::makeRootDirectory(kDir);
    globalPath = root + kDir;
    fileCfg = globalPath + "qvvolcap.cfg";
    fileVar = globalPath + "qvvolcap.var";
    fileDrv = globalPath + "qvvolcap.names";
    fileLock = globalPath + "qvvolcap.lock";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    const int mode = in.u8() % 4;
    if (mode == 0) {
        const std::string_view standIn = in.until('\0');
        const std::string_view table = in.rest();
        qv::fuzz::writeRootFile("/var/qvsim/volumes", standIn.data(), standIn.size());
        qv::fuzz::writeRootFile("/etc/mtab", table.data(), table.size());
        const DrvInfo drives(true);
        for (int i = 0; i < drives.GetNumOfDrvs(); ++i) {
            int total = 0, available = 0, used = 0;
            if (drives.GetDrvCurrentCapacity(i, &total, &available, &used))
                GetDrvPctUsed(available, used);
        }
        return 0;
    }
    const std::string_view contents = in.rest();
    if (mode == 1) {
        qv::fuzz::writeRootFile(kDir + "qvvolcap.names", contents.data(), contents.size());
        DrvInfo mounted(false);
        mounted.AddEntry("/", 0x801);
        DrvInfo all(false);
        all.BuildDrvInfo(mounted, fileDrv);
        return 0;
    }
    if (mode == 2) {
        const std::string text(contents);
        sharedInfo shared{};
        ParseSharedVars(text.c_str(), &shared);
        qv::fuzz::writeRootFile(kDir + "qvvolcap.var", contents.data(), contents.size());
        ReadSharedVars("/", &shared);
        return 0;
    }
    qv::fuzz::writeRootFile(kDir + "_", contents.data(), contents.size());
    int total = 0;
    GetHistStatus("/", nullptr, nullptr, &total);
    drvSample sample{};
    for (int index : {0, 1, total - 1, 400, 401})
        ReadHistSample("/", index, &sample);
    sample = {1, 2, 3, 4};
    AppendHistSample("/", &sample);
    return 0;
}
