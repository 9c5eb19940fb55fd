// Service URLs of both editions, selected at run time by g_editionIndex. The hosts are fixed when
// the client is built.
#pragma once

// "http://<web host>/": every game web call appends a relative path.
extern const char* const g_webBaseUrl[2];
// Web base + "getZarvikSwitch.action".
extern const char* const g_switchQueryUrl[2];
// Web base + "isZarvikAllow.action"; the caller appends "?GUID=" and the GUID.
extern const char* const g_permissionQueryUrl[2];
// Help pages of editions 0 and 1 at [g_editionIndex], update manifests at [2 + g_editionIndex].
extern const wchar_t* const g_updateUrls[4];

inline const wchar_t* UpdateHelpPageUrl(unsigned edition) {
  return g_updateUrls[edition];
}
inline const wchar_t* UpdateManifestUrl(unsigned edition) {
  return g_updateUrls[2 + edition];
}
