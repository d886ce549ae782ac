#include "app/frmTest.h"

// Scaffolding until the loop lands.
void frmTest::RunPictureLoop() {}
