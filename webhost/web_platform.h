// The composition root in a browser tab: the reference device on the page's
// canvas, the page's keys, the runtime over the page's memory; and what the
// shell's entry asks of a host. The settings are the page's query string,
// which the page puts in the environment under the variables' names.
#pragma once

#include <memory>
#include <string>

#include "hostcommon/shell.h"
#include "platform/platform.h"
#include "webhost/web_display.h"
#include "webhost/web_runtime.h"

// The threads the page starts with the program (the build's pool); the
// reference device draws with no more.
#ifndef QUILLON_WEB_THREAD_POOL
#define QUILLON_WEB_THREAD_POOL 8
#endif

class WebPlatform final : public ShellHost {
 public:
  HostSettingList Settings() override;
  HostUsage Usage() override;
  // To the page's lines and the console.
  bool Tell(bool error, const std::string& text) override;
  void SetVariable(const char* name, const std::string& value) override;
  const char* GetVariable(const char* name) override;
  bool Start(const HostConfig& config, std::string& error) override;
  Platform GetPlatform() override;

 private:
  HostConfig config_;
  std::unique_ptr<PlayedKeyScript> script_;
  std::unique_ptr<WebRuntime> runtime_;
  WebWindowSystem windows_;
  std::unique_ptr<WebDisplay> display_;
  std::unique_ptr<PlatformObjects> objects_;
};

// The threads the reference device draws with in a page: `asked` (0: the
// device's own default), one where the page has no threads, at most the
// pool's. The reason when it is fewer than asked for, else empty.
int PageThreads(int asked, bool isolated, int pool, std::string& reason);
