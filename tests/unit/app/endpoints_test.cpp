#include "base/endpoints.h"

#include <gtest/gtest.h>

#include <string>

#include "base/endpoint_hosts.h"

namespace {

TEST(Endpoints, EveryTableSelectsItsEditionsHost) {
  const std::string webHost[2] = {ZARVIK_WEB_HOST_0, ZARVIK_WEB_HOST_1};
  const std::string updateHost[2] = {ZARVIK_UPDATE_HOST_0, ZARVIK_UPDATE_HOST_1};
  ASSERT_NE(webHost[0], webHost[1]) << "the editions must be told apart by their hosts";
  for (unsigned edition = 0; edition < 2; ++edition) {
    SCOPED_TRACE(edition);
    std::string base = g_webBaseUrl[edition];
    EXPECT_EQ(base, "http://" + webHost[edition] + "/");
    EXPECT_EQ(std::string(g_switchQueryUrl[edition]), base + "getZarvikSwitch.action");
    EXPECT_EQ(std::string(g_permissionQueryUrl[edition]), base + "isZarvikAllow.action");
  }
  EXPECT_EQ(std::wstring(UpdateHelpPageUrl(0)),
            L"http://" ZARVIK_FORUM_HOST "/forum.php?mod=viewthread&tid=32056914");
  EXPECT_EQ(std::wstring(UpdateHelpPageUrl(1)),
            L"http://" ZARVIK_FORUM_HOST "/forum.php?mod=viewthread&tid=32056912");
  EXPECT_EQ(std::wstring(UpdateManifestUrl(0)),
            L"http://" ZARVIK_UPDATE_HOST_0 "/orbit/20160412/lm/zarvik/update.ini");
  // The edition-1 manifest is the fourth entry of the four-entry array.
  EXPECT_EQ(std::wstring(g_updateUrls[3]),
            L"http://" ZARVIK_UPDATE_HOST_1 "/orbit/20160412/global/zarvik/update.ini");
  EXPECT_EQ(UpdateManifestUrl(1), g_updateUrls[3]);
}

}  // namespace
