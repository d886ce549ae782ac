#include "app/frmTest.h"

// Scaffolding until the vertices land.
HRESULT frmTest::SetupVertecies() { return 0; }
HRESULT frmTest::SpecificVertecies(void*) { return 0; }
