#pragma once

#include <string>
#include <vector>

#include "sim/sim_config.h"

namespace tqm::sim {

enum class OptionsResult { Run, Help, Version, Error };

// Reads the command line of zr4700-sim (arguments without the program name) into
// config. On Error, error holds a one-line reason. Help or Version: the first of
// --help and --version given, to be shown instead of running.
OptionsResult parseSimOptions(const std::vector<std::string>& args, SimConfig& config, std::string& error);

// The --help text: usage and one entry per option.
std::string simUsageText();

}  // namespace tqm::sim
