#include "app/app_registration.h"

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

RegistrationResult failed(std::string_view what, const std::string& why) {
    return RegistrationResult{false, std::string(what) + " failed, nothing was changed: " + why};
}

}  // namespace

RegistrationResult registerServer() {
    Registry registry;
    if (!registry.load()) return failed("registration", registry.errorText());
    for (const RegistrationEntry& entry : kEntries) {
        if (!writeEntry(registry, entry)) {
            return failed("registration", registry.path().string() + ": the entries do not fit in the file");
        }
    }
    if (!registry.save()) return failed("registration", registry.errorText());
    return {};
}

RegistrationResult unregisterServer() {
    Registry registry;
    if (!registry.load()) return failed("unregistration", registry.errorText());
    bool changed = false;
    for (const RegistrationEntry& entry : kEntries) changed = eraseEntry(registry, entry) || changed;
    if (changed && !registry.save()) return failed("unregistration", registry.errorText());
    return {};
}

}  // namespace tqm
