// The service's update switch and per-user update permission: blocking GETs of JSON replies,
// asked by the update course at start-up.
#pragma once

#include <string>

#include "web/server_reply.h"

// True only when "getZarvikSwitch.action" of the current edition answered status 0 with a true
// "switch": updates are open for everybody.
bool QueryUpdateSwitch();

// True only when "isZarvikAllow.action?GUID=<g_guid>" of the current edition answered status 0
// with a true "isAllow": this user may update now.
bool QueryUpdatePermission();

// Replaces "%uXXXX" by that UTF-16 code unit in the OEM code page and "%XX" by that byte; other
// characters stay. Hex digits are read unchecked ("A" and "a" both count 10). An escape cut short
// by the end of the text is copied unchanged.
std::string UnescapeText(const std::string& text);

namespace zarvik {

enum class ServerQuery { kSwitch, kPermission };

// Permission-query URL: the query's address, "?GUID=" and the GUID in the ANSI code page, with
// nothing escaped.
std::string PermissionQueryUrl(const std::string& queryUrl, const std::wstring& guid);

// Runs one query against `url` and applies the reply rules, writing the log lines. The time-outs
// (seconds, connect and total) are 30 for the client.
bool RunServerQuery(ServerQuery query, const std::string& url, long timeoutSeconds = 30);

}  // namespace zarvik
