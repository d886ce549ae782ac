#include "webhost/web_platform.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "hostcommon/direct3d_by_type.h"
#include "hostcommon/host_log.h"
#include "hostcommon/platform_objects.h"
#include "refdevice/ref_direct3d.h"
#include "scene/user_files.h"
#include "webhost/page.h"
#include "webhost/web_keyboard.h"

HostSettingList WebPlatform::Settings() {
  // One line each: a setting this host comes to honour is added here.
  // clang-format off
  static const std::vector<HostSetting> taken = SettingsTaken({
      "QUILLON_DRIVE_C",
      "QUILLON_KEYS",
      "QUILLON_LOG_LEVEL",
      "QUILLON_TIME",
      "QUILLON_THREADS",
      "QUILLON_KERNELS",
      "QUILLON_HUD",
      "QUILLON_VSYNC",
      "QUILLON_SCALE",
  });
  // clang-format on
  return taken;
}

HostUsage WebPlatform::Usage() {
  HostUsage usage;
  usage.keys =
      "  F9            save the picture on the page as a PNG download (so does the\n"
      "                page's Screenshot button; F12 is the browser's)\n";
  usage.notes =
      "In a browser the settings are the page's query string, named as the\n"
      "variables (quillon.html?QUILLON_HUD=1); QUILLON_KEYS is a URL relative to\n"
      "the page, and its captures and, at the end, the log are downloads. The\n"
      "page gets keys only while it has the focus.\n";
  usage.system = "the browser";
  return usage;
}

bool WebPlatform::Tell(bool error, const std::string& text) {
  std::FILE* to = error ? stderr : stdout;
  return std::fputs(text.c_str(), to) >= 0 && std::fflush(to) == 0;
}

void WebPlatform::SetVariable(const char* name, const std::string& value) {
  ::setenv(name, value.c_str(), 1);
}

const char* WebPlatform::GetVariable(const char* name) { return std::getenv(name); }

int PageThreads(int asked, bool isolated, int pool, std::string& reason) {
  reason.clear();
  if (!isolated) {
    reason =
        "the page is not cross-origin isolated (it was served without the headers "
        "Cross-Origin-Opener-Policy: same-origin and Cross-Origin-Embedder-Policy: "
        "require-corp), so it has no WebAssembly threads";
    return 1;
  }
  if (asked > pool) {
    reason = "the page starts " + std::to_string(pool) + " threads";
    return pool;
  }
  return asked;
}

bool WebPlatform::Start(const HostConfig& config, std::string& error) {
  // The page's files start with a mask that takes every permission away
  // (files made with the usual rights could not be read back): the
  // system's usual one.
  ::umask(022);
  config_ = config;
  if (!LoadKeyScript(config, script_, error)) return false;
  std::string why;
  config_.threads = PageThreads(config.threads, page::Isolated(), QUILLON_WEB_THREAD_POOL, why);
  if (!why.empty())
    HostLog(LogLevel::Info, "reference device: drawing with " + std::to_string(config_.threads) +
                                (config_.threads == 1 ? " thread: " : " threads: ") + why);
  runtime_ = std::make_unique<WebRuntime>(config.fixedTime, script_ != nullptr);
  page::SetLogPath(runtime_->LogPath());
  page::ScaleSmoothly(config.linearScaling);
  HostLog(LogLevel::Info, "frame-rate log: " + scene::Printable(runtime_->LogPath()) +
                              " in the page's memory (rewritten at each start)");
  WebDisplayOptions options;
  options.vsync = config.vsync;
  options.hud = {config.hudFps, config.hudFrameTime, config.hudDevice};
  options.script = script_.get();
  display_ = std::make_unique<WebDisplay>(options);
  PageKeys::Listen();
  objects_ = MakePlatformObjects(
      {[this](Ref<Direct3D8>& d3d) {
         // The reference device is the page's only one; the program's HAL
         // is refused, so it takes REF.
         auto ref = std::make_shared<RefDirect3D8>(display_.get(), false);
         ref->SetRasterizerOptions({config_.threads, config_.kernels});
         std::vector<Direct3DByDeviceType::DeviceType> types;
         types.emplace_back(D3DDEVTYPE_REF, std::move(ref));
         d3d = std::make_shared<Direct3DByDeviceType>(std::move(types));
         return D3D_OK;
       },
       [this](Ref<DirectInput8>& di) {
         di = std::make_shared<WebDirectInput8>(script_ ? &script_->player : nullptr);
         return DI_OK;
       }});
  return true;
}

Platform WebPlatform::GetPlatform() { return Platform{objects_.get(), &windows_, runtime_.get()}; }
