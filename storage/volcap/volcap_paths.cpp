#include "volcap_files.h"

#include <algorithm>

#include "registry.h"
#include "sandbox_path.h"

std::string globalPath;
std::string fileCfg;
std::string fileVar;
std::string fileDrv;
std::string fileLock;

namespace {

bool readRegText(const char* fullKey, std::string& text)
{
    char buffer[4095] = {};
    if (GetRegData(fullKey, buffer, sizeof buffer - 1) != 0) return false;
    text = buffer;
    return true;
}

} // namespace

int GetRegFilenames(std::string& lpCfg, std::string& lpGlobalPath)
{
    std::string directory;
    std::string cfgName;
    if (!readRegText(kRegKeyGlobalPath, directory) || !readRegText(kRegKeyCfgFile, cfgName))
        return 1;
    // The directory is a fixed path of the installation, so it lives below the sandbox root.
    lpGlobalPath = qv::sandboxPath(directory) + "/";
    lpCfg = lpGlobalPath + cfgName;
    return 0;
}

void BuildSharedVarFilename(const std::string& lpGlobalPath, std::string& lpVar)
{
    lpVar = lpGlobalPath + "qvvolcap.var";
}

void BuildDrvNameFilename(const std::string& lpGlobalPath, std::string& lpDrv)
{
    lpDrv = lpGlobalPath + "qvvolcap.names";
}

void BuildLockFilename(const std::string& lpGlobalPath, std::string& lpLock)
{
    lpLock = lpGlobalPath + "qvvolcap.lock";
}

void BuildDatFilename(std::string& destFilename, const std::string& srcPath,
                      const std::string& srcFileName)
{
    std::string name = srcFileName;
    std::replace(name.begin(), name.end(), '/', '_');
    destFilename = srcPath + name;
}

int LoadVolcapFilenames()
{
    if (GetRegFilenames(fileCfg, globalPath) != 0) return 1;
    BuildSharedVarFilename(globalPath, fileVar);
    BuildDrvNameFilename(globalPath, fileDrv);
    BuildLockFilename(globalPath, fileLock);
    return 0;
}

std::string HistFilename(const char* volume)
{
    std::string path;
    BuildDatFilename(path, globalPath, volume);
    return path;
}
