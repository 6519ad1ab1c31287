// The host's custom controls: the "CustEdit" and "SpinnerControl" window
// classes and the spinner interface modules drive them through.
//
// A spinner is a small pair of arrow buttons beside a "CustEdit" box: a click
// on the upper or lower half steps its integer value up or down, dragging
// up or down with the button held changes it by one per two pixels, and a
// number typed into the linked edit box becomes the value. The value always
// stays within the spinner's limits and is shown in the linked edit box.
#pragma once

#include <windows.h>

#include "host/sdk/sdk_api.h"

// Registers the custom-control window classes for a module; a module calls
// it once per process when it is attached. The classes are global to the
// process and belong to the host library, so they outlive any one module.
SELVOSDK_API void InitCustomControls(HINSTANCE module);

// How many times InitCustomControls has run in this process: the stand-in
// host's own record, so that tests can see a module initialise once.
SELVOSDK_API int CustomControlsInitCount();

class ISpinnerControl {
 public:
  // Shows the value in `edit` and takes numbers typed there; `type` 0.
  virtual void LinkToEdit(HWND edit, int type) = 0;
  // Nonzero `limitCurrent` also pulls the current value into the limits at
  // once; otherwise it is kept until it next changes.
  virtual void SetLimits(int minimum, int maximum, int limitCurrent) = 0;
  // Takes `value` clamped to the limits; `notify` 0 (no message is sent).
  virtual void SetValue(int value, int notify) = 0;
  // The current value, including a number just typed into the linked edit.
  virtual int GetIVal() = 0;

 protected:
  ~ISpinnerControl() = default;  // handed back with ReleaseISpinner
};

// The spinner behind a "SpinnerControl" window, or null for any other window.
// Each interface obtained must be handed back with ReleaseISpinner; it stays
// valid until then, even if its window is destroyed first.
SELVOSDK_API ISpinnerControl* GetISpinner(HWND spinner);
SELVOSDK_API void ReleaseISpinner(ISpinnerControl* spinner);

// How many interfaces GetISpinner has handed out and not yet had back: the
// stand-in host's record, so that tests can see a module release them all.
SELVOSDK_API int SpinnersHeld();
