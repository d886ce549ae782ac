// Resume-next mode for the routines that report failures through their result.
//
// Entering the mode clears the pending error. Each step runs inside Step();
// a step that raises abandons only its own remaining work (so a store of a
// created object is skipped) and leaves its error pending, and execution goes
// on with the next step. A test condition that raises counts as taken: the
// routine goes on inside the test's first branch. Leaving the mode does not
// clear the pending error.
#pragma once

#include "platform/error.h"

class ResumeNext {
 public:
  ResumeNext() { Err().Clear(); }

  template <class F>
  void Step(F&& step) {
    try {
      step();
    } catch (const RuntimeError&) {
      // The error is already pending; carry on with the next step.
    }
  }

  // Evaluates a test condition; a condition that raises goes into the first
  // branch.
  template <class F>
  bool Test(F&& condition) {
    try {
      return static_cast<bool>(condition());
    } catch (const RuntimeError&) {
      return true;
    }
  }

  static bool ErrorPending() { return Err().Number != 0; }
};
