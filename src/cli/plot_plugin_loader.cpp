#include "cli/plot_plugin_loader.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/analysis_state.hpp"
#include "model/bootstrap.hpp"

namespace tolvane {

namespace {

namespace fs = std::filesystem;

struct Opened {
  const TolvanePlotPlugin* plugin = nullptr;
  std::string why;
};

// dlerror()'s text mostly begins with the file's name; it is said once.
std::string loadFailure(const std::string& file) {
  std::string reason = ::dlerror();
  if (reason.rfind(file + ": ", 0) == 0) reason.erase(0, file.size() + 2);
  return "cannot load " + file + ": " + reason;
}

Opened open(const std::string& file) {
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return {nullptr, loadFailure(file)};
  const auto entry = reinterpret_cast<TolvanePlotPluginEntry>(::dlsym(handle, kPlotPluginEntry));
  if (entry == nullptr) {
    ::dlclose(handle);
    return {nullptr, file + " is no plot plug-in (it has no " + kPlotPluginEntry + ")"};
  }
  const TolvanePlotPlugin* plugin = entry();
  if (plugin == nullptr || plugin->version != kPlotPluginVersion ||
      plugin->stateSize != sizeof(AnalysisState) || plugin->resultSize != sizeof(BootstrapResult)) {
    ::dlclose(handle);
    return {nullptr, file + " is from another build of tolvane-batch"};
  }
  return {plugin, ""};
}

Opened find() {
  const std::vector<std::string> files = plotPluginCandidates();
  for (const std::string& file : files) {
    std::error_code ec;
    if (fs::exists(file, ec)) return open(file);
  }
  std::string looked;
  for (const std::string& file : files)
    looked += (looked.empty() ? "" : " and ") + file;
  if (looked.empty()) {
    return {nullptr,
            "cannot find the plot plug-in: the executable's folder is unknown (no "
            "/proc/self/exe)"};
  }
  return {nullptr, "cannot find the plot plug-in (looked for " + looked + ")"};
}

}  // namespace

std::vector<std::string> plotPluginCandidates() {
  if (const char* chosen = std::getenv("TOLVANE_PLOTS_PLUGIN"); chosen != nullptr && *chosen)
    return {chosen};
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const fs::path dir = exe.parent_path();
  const fs::path beside = dir / TOLVANE_PLOTS_PLUGIN_FILE;
  const fs::path installed =
      (dir / TOLVANE_PLOTS_INSTALL_DIR / TOLVANE_PLOTS_PLUGIN_FILE).lexically_normal();
  if (installed == beside) return {beside.string()};
  return {beside.string(), installed.string()};
}

const TolvanePlotPlugin* plotPlugin(std::string* why) {
  static const Opened opened = find();
  if (opened.plugin == nullptr && why != nullptr) *why = opened.why;
  return opened.plugin;
}

}  // namespace tolvane
