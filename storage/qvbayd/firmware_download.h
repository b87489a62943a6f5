// Drive firmware for the drive-cage service: CDownload fetches an image from a URL into memory in
// a background thread; CFirmware hands a finished image to the outside disk library for the drive
// the service's flash settings address, when the request carries the access code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include <curl/curl.h>

// Status while a transfer or an update runs.
inline constexpr int kFirmwareBusy = 99999999;
// Largest image a drive takes.
inline constexpr size_t kFirmwareImageMax = 1048576;
inline constexpr int kFirmwareTextMax = 512;   // URL and proxy, terminator included

// A server that does not answer or stalls ends the download: connect limit, then a transfer that
// stays below one byte a second for the low-speed time. Tests shorten both (in seconds) with
// the environment variables named here.
inline constexpr long kFirmwareConnectTimeoutS = 30;
inline constexpr long kFirmwareLowSpeedTimeS = 60;
inline constexpr char kFirmwareConnectTimeoutEnv[] = "QV_BAYD_CONNECT_TIMEOUT_S";
inline constexpr char kFirmwareLowSpeedTimeEnv[] = "QV_BAYD_LOW_SPEED_TIME_S";

// Download states (GetSize): 0 none yet, 1 started, bytes so far while running, 2 done, 3 failed.
class CDownload {
public:
    CDownload();
    ~CDownload();
    CDownload(const CDownload&) = delete;
    CDownload& operator=(const CDownload&) = delete;

    void GetUrl(char* szUrl, int* pcbUrl) const;
    void GetProxy(char* szProxy, int* pcbProxy) const;
    // Refused (false) while a download runs; else stores the URL and starts the download, in the
    // caller's thread when fSync (result: success) or a new detached thread (result: started).
    bool SetUrl(const char* szUrl, bool fSync);
    bool SetProxy(const char* szProxy);
    int GetSize() const { return m_nSize; }
    int GetStatus() const { return m_nStatus; }
    const char* GetImage() const { return m_pBuffer; }
    size_t GetImageSize() const { return m_cbBuffer; }
    void StopDownload() { m_fDownloading = false; }

private:
    static void* StartDownload(void*);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* stream);
    static int ProgressCallback(void* clientp, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                                curl_off_t ulnow);
    static bool ExtendBuffer(size_t n);
    static void ReleaseBuffer();

    static CDownload* m_pThis;
    static char m_szUrl[kFirmwareTextMax];
    static char m_szProxy[kFirmwareTextMax];
    // The proxy of the running transfer: a proxy SET during a download applies to the next one.
    static char m_szTransferProxy[kFirmwareTextMax];
    static std::atomic<int> m_nStatus;
    static std::atomic<int> m_nSize;
    static std::atomic<bool> m_fDownloading;
    static char* m_pBuffer;
    static size_t m_cbBuffer;
    static size_t m_cbAllocated;
};

class CFirmware {
public:
    // The access code: the letters "Vask" as a little-endian 32-bit integer.
    static constexpr int32_t KEY = 'V' | ('a' << 8) | ('s' << 16) | ('k' << 24);

    CFirmware();
    ~CFirmware();
    CFirmware(const CFirmware&) = delete;
    CFirmware& operator=(const CFirmware&) = delete;

    int GetStatus() const { return m_nStatus; }
    // 1 wrong key, 2 no finished download, 3 no image; else the update runs on this thread.
    bool SetUpdate(int nKey, int adapterType, int adapterNum, int channel, int target, const CDownload& oDownload);

private:
    static void FirmwareCallback(unsigned long code);

    static CFirmware* m_pThis;
    std::atomic<int> m_nStatus{0};
};
