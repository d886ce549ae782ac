#include "presentation/present_order.h"

HRESULT PresentInOrder(PresentSteps& steps) {
  steps.SaveCaptures();
  const bool screenshot = steps.TakeScreenshotRequest();
  if (!steps.Seen() && !screenshot) {
    if (const HRESULT hr = steps.CheckUnshown(); hr != D3D_OK) return hr;
    steps.WaitForRetrace();
    return D3D_OK;
  }
  if (const HRESULT hr = steps.Show(); hr != D3D_OK) return hr;
  if (screenshot) steps.SaveScreenshot();
  steps.DrawOverlay();
  steps.WaitForRetrace();
  if (const HRESULT hr = steps.Flip(); hr != D3D_OK) return hr;
  steps.ToggleOnRequest();
  return D3D_OK;
}
