// quillon-replay: replays a scene of Direct3D 8 device calls and writes the
// back buffer after its last line as an image.
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "pictures/picture_files.h"
#include "replay/gl_replay.h"
#include "replay/ref_replay.h"
#include "runtime/process_start.h"
#include "scene/format.h"
#include "scene/user_files.h"

namespace {

// Before the scene format's description.
const char kUsageStart[] =
    "usage: quillon-replay [--device ref|hal] SCENE OUT\n"
    "       quillon-replay --help | --version\n"
    "\n"
    "Replays the device calls in SCENE and writes the back buffer after the\n"
    "last line to OUT, as PNG (.png) or binary PPM (.ppm).\n"
    "\n"
    "  --device ref   the reference (software) device; the default\n"
    "  --device hal   the hardware device (OpenGL 3.3 without a display; any\n"
    "                 renderer, software included)\n"
    "\n"
    "The device is windowed, 640x480 X8R8G8B8 with a D16 automatic depth\n"
    "buffer and every state at its default. BeginScene is called before the\n"
    "first draw, EndScene after the last line.\n"
    "\n";

// After the scene format's description.
const char kUsageEnd[] =
    "\n"
    "The whole scene and its files are read and checked first: a malformed\n"
    "line is reported as SCENE:LINE: reason, and nothing is written. A device\n"
    "call that fails is reported with its line, and nothing is written.\n"
    "Exit status: 0 done, 1 failed, 2 bad arguments.\n";

void PrintUsage(std::FILE* to) {
  std::fputs(kUsageStart, to);
  std::fwrite(scene::kFormatDescription.data(), 1, scene::kFormatDescription.size(), to);
  std::fputs(kUsageEnd, to);
}

// What --help and --version wrote reached standard output whole, or the run
// fails saying why: a reader that got nothing must not see success.
int Told() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  std::fprintf(stderr, "quillon-replay: cannot write to standard output: %s\n",
               std::strerror(errno));
  return 1;
}

bool HasImageExtension(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".png" || ext == ".ppm";
}

// Held while the picture is written: a termination signal then would leave
// its temporary file beside OUT.
std::mutex g_writing;
// A termination signal taken, which the process ends by (0: none yet).
std::atomic<int> g_signal{0};
sigset_t g_ending;

// Ends the process by `sig` as if it had not been caught.
[[noreturn]] void EndBySignal(int sig) {
  std::signal(sig, SIG_DFL);
  pthread_sigmask(SIG_UNBLOCK, &g_ending, nullptr);
  std::raise(sig);
  std::_Exit(128 + sig);
}

// Termination signals are blocked in every thread (the devices' included) and
// taken by one thread of their own, which ends the process by the signal
// once no picture is being written. Signals the parent set to be ignored
// stay ignored (nohup).
void EndBySignalsBetweenWrites() {
  sigemptyset(&g_ending);
  for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_IGN) sigaddset(&g_ending, sig);
  }
  pthread_sigmask(SIG_BLOCK, &g_ending, nullptr);
  std::thread([] {
    int sig = 0;
    while (sigwait(&g_ending, &sig) != 0) {
    }
    // Told first, so that a main thread finishing its write ends by it too
    // rather than race this one to exit.
    g_signal = sig;
    const std::lock_guard<std::mutex> wait(g_writing);
    EndBySignal(sig);
  }).detach();
}

// Reads, replays and writes; the exit status.
int Replay(const std::string& scenePath, const std::string& outPath, D3DDEVTYPE type) {
  std::string error;
  scene::Scene parsed;
  if (!scene::LoadScene(scenePath, parsed, &error)) {
    std::fprintf(stderr, "quillon-replay: %s\n", error.c_str());
    return 1;
  }
  Image image;
  const bool replayed = type == D3DDEVTYPE_HAL ? ReplayOnGlDevice(parsed, image, &error)
                                               : scene::ReplayToImage(parsed, type, image, &error);
  if (!replayed) {
    // Device-call failures carry their line number.
    const bool hasLine = !error.empty() && error[0] >= '0' && error[0] <= '9';
    std::fprintf(stderr, "quillon-replay: %s%s%s\n",
                 hasLine ? scene::Printable(scenePath).c_str() : "", hasLine ? ":" : "",
                 error.c_str());
    return 1;
  }
  const std::lock_guard<std::mutex> writing(g_writing);
  if (!WriteImage(outPath, image, &error)) {
    // The error names the path as given: shown quoted.
    std::fprintf(stderr, "quillon-replay: %s\n", scene::Printable(error).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareProcess();
  D3DDEVTYPE type = D3DDEVTYPE_REF;
  const char* positional[2] = {nullptr, nullptr};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      PrintUsage(stdout);
      return Told();
    }
    if (std::strcmp(arg, "--version") == 0) {
      std::printf("quillon-replay %s\n", QUILLON_VERSION);
      return Told();
    }
    if (std::strcmp(arg, "--device") == 0) {
      if (i + 1 >= argc) {
        std::fputs("quillon-replay: --device needs ref or hal\n", stderr);
        return 2;
      }
      const char* which = argv[++i];
      if (std::strcmp(which, "ref") == 0) {
        type = D3DDEVTYPE_REF;
      } else if (std::strcmp(which, "hal") == 0) {
        type = D3DDEVTYPE_HAL;
      } else {
        std::fprintf(stderr, "quillon-replay: unknown device '%s' (ref or hal)\n",
                     scene::Printable(which).c_str());
        return 2;
      }
      continue;
    }
    if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "quillon-replay: unknown option '%s'\n", scene::Printable(arg).c_str());
      return 2;
    }
    if (count == 2) {
      std::fputs("quillon-replay: too many arguments\n", stderr);
      return 2;
    }
    positional[count++] = arg;
  }
  if (count != 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string scenePath = positional[0];
  const std::string outPath = positional[1];
  if (!HasImageExtension(outPath)) {
    std::fprintf(stderr, "quillon-replay: %s: OUT must end in .png or .ppm\n",
                 scene::Printable(outPath).c_str());
    return 2;
  }

  EndBySignalsBetweenWrites();
  int status = 1;
  try {
    status = Replay(scenePath, outPath, type);
  } catch (const std::bad_alloc&) {
    // What was allocated is given back on the way here, and a temporary
    // picture removed.
    std::fprintf(stderr, "quillon-replay: %s: out of memory\n",
                 scene::Printable(scenePath).c_str());
  }
  const std::lock_guard<std::mutex> last(g_writing);
  if (const int sig = g_signal) EndBySignal(sig);
  return status;
}
