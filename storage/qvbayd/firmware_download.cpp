#include "firmware_download.h"

#include <qvdiskctl.h>

#include <pthread.h>
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

CDownload* CDownload::m_pThis = nullptr;
char CDownload::m_szUrl[kFirmwareTextMax] = {};
char CDownload::m_szProxy[kFirmwareTextMax] = {};
char CDownload::m_szTransferProxy[kFirmwareTextMax] = {};
std::atomic<int> CDownload::m_nStatus{0};
std::atomic<int> CDownload::m_nSize{0};
std::atomic<bool> CDownload::m_fDownloading{false};
char* CDownload::m_pBuffer = nullptr;
size_t CDownload::m_cbBuffer = 0;
size_t CDownload::m_cbAllocated = 0;

CFirmware* CFirmware::m_pThis = nullptr;

namespace {

constexpr size_t kGrowth = 4096;

long limitSeconds(const char* env, long standard)
{
    const char* text = std::getenv(env);
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return value > 0 ? value : standard;
}

// Copies `text` cut to what fits with its terminator.
void storeText(char (&to)[kFirmwareTextMax], const char* text)
{
    std::strncpy(to, text ? text : "", kFirmwareTextMax - 1);
    to[kFirmwareTextMax - 1] = '\0';
}

void copyOut(const char* text, char* out, int* room)
{
    const int length = static_cast<int>(std::strlen(text));
    if (out && *room > 0) {
        std::memset(out, 0, static_cast<size_t>(*room));
        std::memcpy(out, text, static_cast<size_t>(std::min(length, *room)));
    }
    *room = length + 1;
}

// A web server's answer counts only when it is a 2xx: anything else would be a page, not an image.
bool webAnswerIsSuccess(CURL* curl)
{
    const char* scheme = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_SCHEME, &scheme) != CURLE_OK || !scheme) return true;
    if (strcasecmp(scheme, "http") != 0 && strcasecmp(scheme, "https") != 0) return true;
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    return code >= 200 && code < 300;
}

} // namespace

CDownload::CDownload() { m_pThis = this; }

CDownload::~CDownload()
{
    // A transfer still running writes the image until it notices the stop: it keeps the buffer.
    const bool running = m_fDownloading.exchange(false);
    if (!running) ReleaseBuffer();
    if (m_pThis == this) m_pThis = nullptr;
}

void CDownload::GetUrl(char* szUrl, int* pcbUrl) const { copyOut(m_szUrl, szUrl, pcbUrl); }

void CDownload::GetProxy(char* szProxy, int* pcbProxy) const { copyOut(m_szProxy, szProxy, pcbProxy); }

bool CDownload::SetProxy(const char* szProxy)
{
    storeText(m_szProxy, szProxy);
    return true;
}

bool CDownload::SetUrl(const char* szUrl, bool fSync)
{
    // The download is claimed before anything starts, so a second request cannot start another
    // transfer on the same buffer, and an update never sees the previous download as finished.
    bool idle = false;
    if (!m_fDownloading.compare_exchange_strong(idle, true)) return false;
    storeText(m_szUrl, szUrl);
    // The transfer thread reads its own copy while the request loop may store a new proxy.
    storeText(m_szTransferProxy, m_szProxy);
    m_nSize = 1;
    m_nStatus = kFirmwareBusy;
    if (fSync) {
        StartDownload(nullptr);
        return m_nStatus == 0;
    }
    pthread_t thread;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    const int started = pthread_create(&thread, &attributes, StartDownload, nullptr);
    pthread_attr_destroy(&attributes);
    if (started != 0) {
        m_nStatus = started;
        m_nSize = 3;
        m_fDownloading = false;
        return false;
    }
    return true;
}

void* CDownload::StartDownload(void*)
{
    CURL* curl = curl_easy_init();
    if (!curl) {
        m_nSize = 3;
        m_nStatus = 3;
        m_fDownloading = false;
        return nullptr;
    }
    ReleaseBuffer();   // each download starts a new image
    if (m_szTransferProxy[0]) curl_easy_setopt(curl, CURLOPT_PROXY, m_szTransferProxy);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // Only the protocols firmware comes by: a file:, dict: or gopher: URL must not let a manager
    // read local files or reach internal services through a root process.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limitSeconds(kFirmwareConnectTimeoutEnv, kFirmwareConnectTimeoutS));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limitSeconds(kFirmwareLowSpeedTimeEnv, kFirmwareLowSpeedTimeS));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteCallback);
    curl_easy_setopt(curl, CURLOPT_URL, m_szUrl);

    CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK && !webAnswerIsSuccess(curl)) result = CURLE_HTTP_RETURNED_ERROR;
    if (result != CURLE_OK) ReleaseBuffer();   // a failed download leaves no image behind
    m_nStatus = static_cast<int>(result);
    m_nSize = result == CURLE_OK ? 2 : 3;
    m_fDownloading = false;
    curl_easy_cleanup(curl);
    return nullptr;
}

size_t CDownload::WriteCallback(char* data, size_t size, size_t count, void*)
{
    const size_t n = size * count;
    if (!m_fDownloading || !ExtendBuffer(n)) return n == 0 ? 1 : 0;   // any other count aborts
    std::memcpy(m_pBuffer + m_cbBuffer, data, n);
    m_cbBuffer += n;
    return n;
}

int CDownload::ProgressCallback(void*, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t)
{
    // Before the first byte the state stays "started".
    if (dlnow > 0) m_nSize = static_cast<int>(std::min<curl_off_t>(dlnow, INT32_MAX));
    return 0;
}

bool CDownload::ExtendBuffer(size_t n)
{
    const size_t room = m_cbAllocated - m_cbBuffer;
    if (n <= room) return true;
    const size_t growth = (n - room + kGrowth - 1) / kGrowth * kGrowth;
    if (m_cbAllocated + growth > kFirmwareImageMax) return false;
    char* bigger = static_cast<char*>(std::realloc(m_pBuffer, m_cbAllocated + growth));
    if (!bigger) return false;
    m_pBuffer = bigger;
    m_cbAllocated += growth;
    return true;
}

void CDownload::ReleaseBuffer()
{
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_cbBuffer = 0;
    m_cbAllocated = 0;
}

CFirmware::CFirmware()
{
    m_pThis = this;
    SetFirmwareCallback(FirmwareCallback);
}

CFirmware::~CFirmware()
{
    SetFirmwareCallback(nullptr);
    if (m_pThis == this) m_pThis = nullptr;
}

void CFirmware::FirmwareCallback(unsigned long code)
{
    if (m_pThis) m_pThis->m_nStatus = static_cast<int>(code);
}

bool CFirmware::SetUpdate(int nKey, int adapterType, int adapterNum, int channel, int target,
                          const CDownload& oDownload)
{
    if (nKey != KEY) {
        m_nStatus = 1;
        return false;
    }
    if (oDownload.GetStatus() != 0 || oDownload.GetSize() != 2) {
        m_nStatus = 2;
        return false;
    }
    if (!oDownload.GetImage() || oDownload.GetImageSize() == 0) {
        m_nStatus = 3;
        return false;
    }
    m_nStatus = kFirmwareBusy;
    const int result = UpdateDriveFWImage(adapterType & 0xFF, adapterNum & 0xFF, channel & 0xFF, target & 0xFF,
                                          oDownload.GetImage(), static_cast<int>(oDownload.GetImageSize()));
    if (result != 0) m_nStatus = result;
    return result == 0;
}
