// qvbayd: the drive-cage service behind qvbayagent.
#include <curl/curl.h>

#include "cage_service.h"
#include "cage_source.h"

int main()
{
    // libcurl's global set-up is not thread-safe: done before any download thread exists.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int status = runCageService(bayswapCageSource());
    return status;
}
