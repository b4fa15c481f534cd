// Finding and opening the plot plug-in (plot_plugin_abi.hpp), once per
// process and only when charts are asked for.
#pragma once

#include <string>
#include <vector>

#include "model/plot_plugin_abi.hpp"

namespace tolvane {

// The files the plug-in is looked for as, in order: the one environment
// variable TOLVANE_PLOTS_PLUGIN names when it is set; else the plug-in
// beside the executable (the build tree), then in the folder it is
// installed to, relative to the executable's.
std::vector<std::string> plotPluginCandidates();

// The plug-in, opened from the first candidate that exists on the first call;
// later calls give the same answer. nullptr with *why when there is none, it
// cannot be loaded or it is from another build. It stays loaded for the rest
// of the run: Qt cannot be unloaded once started.
const TolvanePlotPlugin* plotPlugin(std::string* why);

}  // namespace tolvane
