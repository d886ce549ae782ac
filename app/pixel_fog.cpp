#include "app/frmTest.h"

// Scaffolding until pixel fog lands.
HRESULT frmTest::SetupPixelFog(const D3DCOLOR&, const std::int32_t&) { return 0; }
