#include "app/frmTest.h"

// Scaffolding until the loop lands.
bool frmTest::RunSpinningCloud() { return true; }
