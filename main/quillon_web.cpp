// The program in a browser tab: the shell's entry over the page's binding.
#include "app/frmTest.h"
#include "webhost/web_platform.h"

int main(int argc, char** argv) {
  // Kept beyond main's frame: the page's turns unwind and rewind it.
  static WebPlatform host;
  return RunForm<frmTest>(argc, argv, host);
}
