#pragma once
#include <string>

// Global atoms that mark, for the rest of the login session, a usage ping
// that went through and a version check that found our own version.
extern const char ATOM_PING[];
extern const char ATOM_VERSION[];

// "a.b.c.d" from the file version of a file's version resource, or "" when
// it has none.
std::string GetFileVersionString(const char* path);
// The running executable's version.
std::string GetModuleVersion();

// The site base address this build was made for ("http://host/").
const char* GetSiteBase();
// The addresses that derive from a site base address.
std::string GetPingUrl(const std::string& siteBase, const std::string& version);
std::string GetVersionUrl(const std::string& siteBase);
std::wstring GetSiteLink(const std::string& siteBase);

// Opens an address in the user's default browser. Tests put their own in.
using PFN_OPEN_SITE = void (*)(const wchar_t* url);
void OpenSiteInBrowser(const wchar_t* url);

// The start-up's two requests share one deadline, startUp (the program's own
// runs WEB_STARTUP_DEADLINE_MS from the ping); a request that runs out of
// time counts as a site that cannot be reached.
class CDeadline;

// Reports our version to the site once per login session. Silent on failure.
void RunUsagePing();
void RunUsagePing(const std::string& siteBase, const CDeadline& startUp);

// Asks the site for the current version until a check in this login session
// has found ours. True: go on to the launcher. False: the site named another
// version, the update notice was shown and closed, and the program ends.
bool RunVersionCheck();
bool RunVersionCheck(const std::string& siteBase, PFN_OPEN_SITE openSite, const CDeadline& startUp);
