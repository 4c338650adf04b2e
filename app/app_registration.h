#pragma once

#include <string>
#include <string_view>

namespace tqm {

// The program's application identity, as a local server registers it.
inline constexpr std::string_view kAppIdGuid = "{6C1E0B5A-93D2-4F7B-A1E4-2B8C5D0F7A91}";
inline constexpr std::string_view kAppIdName = "TQM4700_ParametricEqualizerControl";
inline constexpr std::string_view kAppIdRoot = "HKEY_CLASSES_ROOT\\AppID";
inline constexpr std::string_view kAppIdGuidKey = "HKEY_CLASSES_ROOT\\AppID\\{6C1E0B5A-93D2-4F7B-A1E4-2B8C5D0F7A91}";
inline constexpr std::string_view kAppIdExeKey = "HKEY_CLASSES_ROOT\\AppID\\TQM4700_ParametricEqualizerControl.EXE";

// The exit code of a registration switch that could not do its work.
inline constexpr int kExitRegistrationFailed = 1;

// What a registration switch did: done, or why not (one line naming the registry
// file; the file is then left as it was).
struct RegistrationResult {
    bool done = true;
    std::string reason;
};

// Blocks on reading and rewriting the registry file (Registry::filePath()).
// Writes the two application-identity entries; everything else in the file stays.
RegistrationResult registerServer();

// Blocks on reading and rewriting the registry file. Removes the .EXE key and the
// contents of the GUID key; the AppID key itself always stays.
RegistrationResult unregisterServer();

}  // namespace tqm
