// Reaching platform objects from the program: a call through an unset object
// variable, or with no platform installed, raises "Object variable not set"
// (91) naming the interface, as any call on nothing does.
#pragma once

#include <string_view>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/ref.h"

template <class T>
T& Use(const Ref<T>& object, std::string_view interfaceName) {
  if (!object) RaiseObjectNotSet(interfaceName);
  return *object;
}

inline PlatformObjects& PlatformObjectsOrRaise() {
  PlatformObjects* objects = CurrentPlatform().objects;
  if (!objects) RaiseObjectNotSet("PlatformObjects");
  return *objects;
}

inline Runtime& RuntimeOrRaise() {
  Runtime* runtime = CurrentPlatform().runtime;
  if (!runtime) RaiseObjectNotSet("Runtime");
  return *runtime;
}

inline WindowSystem& WindowsOrRaise() {
  WindowSystem* windows = CurrentPlatform().windows;
  if (!windows) RaiseObjectNotSet("WindowSystem");
  return *windows;
}
