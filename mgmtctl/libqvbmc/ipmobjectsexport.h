// Interfaces of the IPMI objects programs walk: the system, its packages, their sensors and FRU
// devices. Objects come only from the factories of qvbmc.h and are freed only by them.
#pragma once

#include "ipmcontrollerexport.h"
#include "qvbmc_records.h"

// One typed field of a FRU area: type (bits 7..6 of the type/length byte), length, owned bytes.
struct FruField {
    UINT8 bType;
    UINT8 bLength;
    UINT8* pbData;
};

// The FRU data split into its areas. Holds pointers: process-local, never written anywhere.
struct FruDataStruct {
    struct {
        UINT8 bFormatVersion, bInteralUseAreaOffset, bChassisInfoAreaOffset, bBoardInfoAreaOffset,
            bProductInfoAreaOffset, bMultiRecordAreaOffset, bPad, bChecksum;
    } CommonHeader;
    struct {
        UINT8 bFormatVersion, bLength, bType;
        FruField PartNumber, SerialNumber;
        UINT8 bChecksum;
    } ChassisInfoArea;
    struct {
        UINT8 bFormatVersion, bLength, bLanguage;
        UINT32 dwMfgDateTime;   // minutes since 1996-01-01
        FruField Manufacturer, ProductName, SerialNumber, PartNumber, FruFileId;
        UINT8 bChecksum;
    } BoardInfoArea;
    struct {
        UINT8 bFormatVersion, bLength, bLanguage;
        FruField Manufacturer, ProductName, PartNumber, Version, SerialNumber, AssetTag, FruFileId;
        UINT8 bChecksum;
    } ProductInfoArea;
};

struct FormattedFruDataStruct {
    UINT32 fChassisInfoAreaIsProgrammed;
    UINT32 fBoardInfoAreaIsProgrammed;
    UINT32 fProductInfoAreaIsProgrammed;
    struct { char *pszType, *pszPartNumber, *pszSerialNumber; } ChassisInfoArea;
    struct {
        char *pszMfgDateTime, *pszManufacturerName, *pszProductName, *pszSerialNumber,
            *pszPartNumber;
    } BoardInfoArea;
    struct {
        char *pszManufacturerName, *pszProductName, *pszPartNumber, *pszVersion,
            *pszSerialNumber, *pszAssetTag;
    } ProductInfoArea;
};

class CSensorExport {
public:
    virtual ErrorType GetReading(SensorReadingStruct* pReading) = 0;
    virtual ErrorType GetThresholdReading(ThresholdType eThreshold,
                                          GetThresholdReadingStruct* pReading) = 0;
    virtual ErrorType SetThresholdValue(SetThresholdValueStruct value) = 0;
    virtual Sdr* GetSdr() = 0;
    virtual CIPMControllerExport* GetController() = 0;

protected:
    ~CSensorExport() = default;
};

class CFruExport {
public:
    virtual ErrorType ReadFruData() = 0;
    virtual ErrorType WriteFruData(unsigned char* pbData, unsigned short wLength) = 0;
    virtual Sdr* GetSdr() = 0;
    virtual CIPMControllerExport* GetController() = 0;
    virtual unsigned char* GetFruData() = 0;
    virtual unsigned short GetFruDataLength() = 0;
    virtual FruDataStruct* GetStructuredFruData() = 0;
    virtual FormattedFruDataStruct* GetFormattedFruData() = 0;

protected:
    ~CFruExport() = default;
};

class CIPMPackageExport {
public:
    virtual void RebuildSensorList() = 0;
    virtual void RebuildFruList() = 0;
    virtual int GetSensorCount() = 0;
    virtual int GetFruCount() = 0;
    virtual CIPMControllerExport* GetController() = 0;
    virtual CSensorExport* GetSensor(int nIndex) = 0;
    virtual CFruExport* GetFru(int nIndex) = 0;

protected:
    ~CIPMPackageExport() = default;
};

class CIPMSystemExport {
public:
    virtual void Initialize() = 0;
    virtual ErrorType RebuildPackageList() = 0;
    virtual void RebuildSdrRepository(unsigned short wStartingRecordId) = 0;
    virtual void RebuildSystemEventLog(unsigned short wStartingRecordId) = 0;
    virtual void RefreshSdrRepository() = 0;
    virtual void RefreshSystemEventLog() = 0;
    virtual int GetPackageCount() = 0;
    virtual int GetSdrCount() = 0;
    virtual int GetSelEntryCount() = 0;
    virtual CIPMBaseControllerExport* GetBaseController() = 0;
    virtual CIPMPackageExport* GetPackage(int nIndex) = 0;
    virtual Sdr* GetSdr(int nIndex) = 0;
    virtual Sel* GetSelEntry(int nIndex) = 0;

protected:
    ~CIPMSystemExport() = default;
};
