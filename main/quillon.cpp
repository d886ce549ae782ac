// The program on the SDL2 host: the runtime creates the form and raises its
// load event, which runs the whole program and ends the process itself.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/frmTest.h"
#include "runtime/process_start.h"
#include "sdlhost/sdl_platform.h"

namespace {

const char kUsage[] =
    "usage: quillon [--help | --version]\n"
    "\n"
    "A full-screen 3D demonstration: a spinning, alpha-blended cloud of 1000\n"
    "random triangles over a blue background, drawn at 640x480. It logs its\n"
    "frame rate, one line per frame, to C:\\FPS.TXT on its drive C.\n"
    "\n"
    "Keys (the program's own four and Escape are read even while another\n"
    "window has the focus; F12 is the host's, taken from the window):\n"
    "  Up, Down      move the eye away from / towards the cloud\n"
    "  Left, Right   turn the cloud about its vertical axis\n"
    "  Escape        end the program\n"
    "  F12           save the picture on screen as PNG in\n"
    "                $XDG_PICTURES_DIR/quillon (~/Pictures/quillon)\n"
    "\n"
    "Environment:\n"
    "  QUILLON_DRIVE_C=DIR       the folder standing for drive C (default:\n"
    "                            $XDG_DATA_HOME/quillon/drive_c, that is\n"
    "                            ~/.local/share/quillon/drive_c, made on first use)\n"
    "  QUILLON_WINDOWED=1        show the full-screen picture in a resizable\n"
    "                            window (0)\n"
    "  QUILLON_SCALE=MODE        nearest or linear: how a scaled picture is\n"
    "                            filtered (nearest)\n"
    "  QUILLON_VSYNC=0           full screen does not wait for the refresh (1)\n"
    "  QUILLON_HUD=ITEMS         draw an overlay: fps,frametime,device (none)\n"
    "  QUILLON_KEYS=FILE         play a key script instead of the keyboard\n"
    "  QUILLON_TIME=SECONDS      fix the time of day (seconds after midnight)\n"
    "  QUILLON_TRACE=FILE        write the first frames' device calls as scenes\n"
    "                            for quillon-replay (its folder is made)\n"
    "  QUILLON_TRACE_FRAMES=N    how many frames the trace records (3)\n"
    "  QUILLON_DEVICE=hal|ref    force the hardware (OpenGL) or the reference\n"
    "                            (software) device (default: hardware on a\n"
    "                            non-software OpenGL renderer, else reference)\n"
    "  QUILLON_LOG_LEVEL=LEVEL   error, warn, info or debug: which lines of\n"
    "                            the host reach stderr (warn)\n"
    "\n"
    "Messages go to stderr, each line starting with \"quillon:\".\n"
    "Without a display it runs invisibly on SDL's offscreen driver and its keys\n"
    "come from a key script (QUILLON_KEYS) only: without one it reports that\n"
    "there is no keyboard and ends.\n"
    "Exit status: 0 ended by the user, 1 after an error report, 2 bad settings,\n"
    "3 ended by the user but a trace could not be written.\n";

}  // namespace

int main(int argc, char** argv) {
  PrepareProcess();
  // The program itself takes no command line; these belong to the host.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quillon %s\n", QUILLON_VERSION);
      return 0;
    }
    std::fprintf(stderr, "quillon: unknown argument '%s'\n\n%s", argv[i], kUsage);
    return 2;
  }
  HostConfig config;
  std::string error;
  if (!ReadHostConfig([](const char* name) { return std::getenv(name); }, config, error)) {
    std::fprintf(stderr, "quillon: %s\n", error.c_str());
    return 2;
  }
  auto platform = std::make_unique<SdlPlatform>();
  if (!platform->Start(config, error)) {
    std::fprintf(stderr, "quillon: %s\n", error.c_str());
    return 2;
  }
  InstallPlatform(platform->GetPlatform());

  auto form = std::make_unique<frmTest>();
  form->Form_Load();
  // The load event came back without ending the process (the vertex-buffer
  // fill failed): the form stays open until the user closes it.
  SdlRuntime& runtime = platform->Runtime();
  runtime.RunUntilFormClosed();
  runtime.End(0);
}
