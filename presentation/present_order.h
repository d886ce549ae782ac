// The steps of showing a frame, in the one order every host keeps: captures
// are the frame itself, before anything is drawn over it; a frame nobody
// sees is not drawn (unless F12 wants a picture of it); F12's picture is
// what the window shows, without the overlay, which goes over it next; then
// the wait for the retrace, the flip, and only once the frame is out
// Alt+Enter's switch of the presentation.
#pragma once

#include "platform/d3d8types.h"

class PresentSteps {
 public:
  virtual ~PresentSteps() = default;
  virtual void SaveCaptures() = 0;
  // True once for each press of F12.
  virtual bool TakeScreenshotRequest() = 0;
  // A screen shows the window, or someone reads its pixels.
  virtual bool Seen() = 0;
  // A frame that is not shown still has to be one the window could show.
  virtual HRESULT CheckUnshown() = 0;
  // The frame into the window, placed with its aspect kept.
  virtual HRESULT Show() = 0;
  virtual void SaveScreenshot() = 0;
  virtual void DrawOverlay() = 0;
  virtual void WaitForRetrace() = 0;
  // The window shows what was drawn into it.
  virtual HRESULT Flip() = 0;
  virtual void ToggleOnRequest() = 0;
};

HRESULT PresentInOrder(PresentSteps& steps);
