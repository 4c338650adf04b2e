#pragma once

namespace tqm {

// How the command thread opens the serial port if it is not open. The serial
// layer installs its operation at engine start; with none installed nothing opens.
// Data-less access object.
class PortOpener final {
public:
    using OpenIfNeeded = void (*)();

    static void install(OpenIfNeeded open);
    // Runs the installed operation (it reports its own failures to the window).
    void openIfNeeded() const;
};

}  // namespace tqm
