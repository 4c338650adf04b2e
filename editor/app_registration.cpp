#include "editor/app_registration.h"

#include <array>

#include "platform/registry.h"

namespace tqm {

namespace {

// What unregistration does to a key that registration filled.
enum class OnUnregister { RemoveKey, ClearContents };

struct RegistrationEntry {
    std::string_view key;
    std::string_view name;  // empty: the key's default value
    std::string_view value;
    OnUnregister onUnregister;
};

constexpr std::array<RegistrationEntry, 2> kEntries{{
    {kAppIdGuidKey, {}, kAppIdName, OnUnregister::ClearContents},
    {kAppIdExeKey, "AppID", kAppIdGuid, OnUnregister::RemoveKey},
}};

bool writeEntry(Registry& registry, const RegistrationEntry& entry) {
    return entry.name.empty() ? registry.setDefaultValue(entry.key, entry.value)
                              : registry.setValue(entry.key, entry.name, entry.value);
}

// True when the store changed.
bool eraseEntry(Registry& registry, const RegistrationEntry& entry) {
    return entry.onUnregister == OnUnregister::RemoveKey ? registry.removeKey(entry.key)
                                                         : registry.clearKey(entry.key);
}

}  // namespace

bool registerServer() {
    Registry registry;
    if (!registry.load()) return false;
    for (const RegistrationEntry& entry : kEntries) {
        if (!writeEntry(registry, entry)) return false;
    }
    return registry.save();
}

bool unregisterServer() {
    Registry registry;
    if (!registry.load()) return false;
    bool changed = false;
    for (const RegistrationEntry& entry : kEntries) changed = eraseEntry(registry, entry) || changed;
    return !changed || registry.save();
}

}  // namespace tqm
