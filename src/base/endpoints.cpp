#include "base/endpoints.h"

#include "base/endpoint_hosts.h"  // generated from the build settings

const char* const g_webBaseUrl[2] = {
    "http://" ZARVIK_WEB_HOST_0 "/",
    "http://" ZARVIK_WEB_HOST_1 "/",
};

const char* const g_switchQueryUrl[2] = {
    "http://" ZARVIK_WEB_HOST_0 "/getZarvikSwitch.action",
    "http://" ZARVIK_WEB_HOST_1 "/getZarvikSwitch.action",
};

const char* const g_permissionQueryUrl[2] = {
    "http://" ZARVIK_WEB_HOST_0 "/isZarvikAllow.action",
    "http://" ZARVIK_WEB_HOST_1 "/isZarvikAllow.action",
};

const wchar_t* const g_updateUrls[4] = {
    L"http://" ZARVIK_FORUM_HOST "/forum.php?mod=viewthread&tid=32056914",
    L"http://" ZARVIK_FORUM_HOST "/forum.php?mod=viewthread&tid=32056912",
    L"http://" ZARVIK_UPDATE_HOST_0 "/orbit/20160412/lm/zarvik/update.ini",
    L"http://" ZARVIK_UPDATE_HOST_1 "/orbit/20160412/global/zarvik/update.ini",
};
