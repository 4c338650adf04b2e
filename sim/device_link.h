#pragma once

#include <string>

namespace tqm::sim {

// A symlink at a fixed path that points at the current slave device, so that a
// program can keep one port path while the pseudo-terminal behind it changes.
class DeviceLink final {
public:
    DeviceLink() = default;
    ~DeviceLink();

    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Makes linkPath point at target, replacing an earlier symlink in one step. It
    // refuses (false, errorText set) to replace anything that is not a symlink.
    bool publish(const std::string& linkPath, const std::string& target);

    // Removes the symlink if it is still the one this object made.
    void remove();

    const std::string& path() const { return m_path; }
    const std::string& errorText() const { return m_errorText; }

private:
    std::string m_path;
    std::string m_target;
    std::string m_errorText;
};

}  // namespace tqm::sim
