#pragma once

#include <string_view>

namespace tqm {

// The program's application identity, as a local server registers it.
inline constexpr std::string_view kAppIdGuid = "{6C1E0B5A-93D2-4F7B-A1E4-2B8C5D0F7A91}";
inline constexpr std::string_view kAppIdName = "TQM4700_ParametricEqualizerControl";
inline constexpr std::string_view kAppIdRoot = "HKEY_CLASSES_ROOT\\AppID";
inline constexpr std::string_view kAppIdGuidKey = "HKEY_CLASSES_ROOT\\AppID\\{6C1E0B5A-93D2-4F7B-A1E4-2B8C5D0F7A91}";
inline constexpr std::string_view kAppIdExeKey = "HKEY_CLASSES_ROOT\\AppID\\TQM4700_ParametricEqualizerControl.EXE";

// Blocks on reading and rewriting the registry file (Registry::filePath()).
// Writes the two application-identity entries; other keys stay as they were.
// False when the file could not be read or written (it is then left unchanged).
bool registerServer();

// Blocks on reading and rewriting the registry file. Removes the .EXE key and the
// contents of the GUID key; the AppID key itself always stays.
bool unregisterServer();

}  // namespace tqm
