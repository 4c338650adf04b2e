#include "platform/serial_port_discovery.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/regular_file.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

// A sysfs attribute file reports a size of one page.
constexpr std::size_t kMaxAttributeBytes = 4096;
constexpr const char* kSerialCorePortDriver = "port";
// How far above a tty device its USB device may sit (port, interface, device).
constexpr int kMaxUsbLevels = 4;

struct NodeKind {
    std::string_view prefix;
    bool needsUart;
};

// The kinds of device node taken, in the order they are listed.
constexpr std::array<NodeKind, 3> kNodeKinds{{
    {"ttyUSB", false},
    {"ttyACM", false},
    {"ttyS", true},
}};

struct UsbAttribute {
    const char* file;
    std::string FoundSerialPort::*member;
};

constexpr std::array<UsbAttribute, 3> kUsbAttributes{{
    {"manufacturer", &FoundSerialPort::manufacturer},
    {"product", &FoundSerialPort::product},
    {"serial", &FoundSerialPort::serialNumber},
}};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string attribute(const fs::path& file) {
    std::string text;
    if (readRegularFile(file.c_str(), kMaxAttributeBytes, text) != FileRead::Read) return {};
    return trimmed(text);
}

// The node kind of a kernel name and the number after its prefix; false for others.
bool nodeKind(std::string_view name, std::size_t& kind, unsigned long& number) {
    for (std::size_t i = 0; i < kNodeKinds.size(); ++i) {
        const std::string_view prefix = kNodeKinds[i].prefix;
        if (!name.starts_with(prefix) || name.size() == prefix.size()) continue;
        const std::string_view digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        kind = i;
        number = std::strtoul(std::string(digits).c_str(), nullptr, 10);
        return true;
    }
    return false;
}

// Listed kinds in table order, numbers in order; other names (a by-id link to a
// device of another driver) after them, by name.
bool listedBefore(const std::string& a, const std::string& b) {
    std::size_t kindA = kNodeKinds.size();
    std::size_t kindB = kNodeKinds.size();
    unsigned long numberA = 0;
    unsigned long numberB = 0;
    nodeKind(a, kindA, numberA);
    nodeKind(b, kindB, numberB);
    if (kindA != kindB) return kindA < kindB;
    if (numberA != numberB) return numberA < numberB;
    return a < b;
}

// The names in a directory, sorted; none when it cannot be read.
std::vector<std::string> entries(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string FoundSerialPort::description() const {
    std::string text;
    const auto add = [&text](const std::string& piece, const char* before) {
        if (piece.empty()) return;
        if (!text.empty()) text += before;
        text += piece;
    };
    add(manufacturer, " ");
    add(product, " ");
    if (!serialNumber.empty()) add("serial " + serialNumber, ", ");
    if (text.empty() && !usbId.empty()) text = "USB adapter " + usbId;
    if (text.empty()) text = "serial port";
    text += " (" + fs::path(device).filename().string();
    if (!driver.empty()) text += ", " + driver;
    return text + ")";
}

SerialPortDiscovery::SerialPortDiscovery(fs::path root) : m_root(std::move(root)) {}

bool SerialPortDiscovery::hasUart(const std::string& kernelName) const {
    const std::string type = attribute(m_root / "sys/class/tty" / kernelName / "type");
    return !type.empty() && type != "0";
}

FoundSerialPort SerialPortDiscovery::describe(const std::string& kernelName) const {
    FoundSerialPort port;
    port.device = "/dev/" + kernelName;
    port.path = port.device;
    const fs::path device = m_root / "sys/class/tty" / kernelName / "device";
    std::error_code error;
    const fs::path driver = fs::read_symlink(device / "driver", error);
    // Newer kernels bind the serial core's own "port" driver to every UART: no news.
    if (!error && driver.filename() != kSerialCorePortDriver) port.driver = driver.filename().string();
    fs::path level = fs::canonical(device, error);
    for (int up = 0; !error && up < kMaxUsbLevels && level.has_relative_path(); ++up, level = level.parent_path()) {
        if (!fs::exists(level / "idVendor", error)) continue;
        for (const UsbAttribute& each : kUsbAttributes) port.*each.member = attribute(level / each.file);
        port.usbId = attribute(level / "idVendor") + ":" + attribute(level / "idProduct");
        break;
    }
    return port;
}

std::vector<FoundSerialPort> SerialPortDiscovery::find() const {
    // The stable names first: kernel name -> its by-id link.
    std::map<std::string, std::string> byId;
    const fs::path byIdFolder = m_root / "dev/serial/by-id";
    for (const std::string& link : entries(byIdFolder)) {
        std::error_code error;
        const fs::path target = fs::read_symlink(byIdFolder / link, error);
        if (error) continue;
        const std::string kernelName = target.filename().string();
        if (!kernelName.empty() && !byId.contains(kernelName)) byId[kernelName] = "/dev/serial/by-id/" + link;
    }
    std::vector<std::string> names;
    for (const std::string& name : entries(m_root / "dev")) {
        std::size_t kind = 0;
        unsigned long number = 0;
        if (!nodeKind(name, kind, number) || (kNodeKinds[kind].needsUart && !hasUart(name))) continue;
        names.push_back(name);
    }
    for (const auto& [kernelName, link] : byId) {
        if (std::find(names.begin(), names.end(), kernelName) == names.end()) names.push_back(kernelName);
    }
    std::sort(names.begin(), names.end(), listedBefore);

    std::vector<FoundSerialPort> found;
    for (const std::string& name : names) {
        FoundSerialPort port = describe(name);
        if (const auto link = byId.find(name); link != byId.end()) port.path = link->second;
        found.push_back(std::move(port));
    }
    return found;
}

}  // namespace tqm
