// The host's custom controls: the "CustEdit" and "SpinnerControl" window
// classes and the spinner interface modules drive them through.
#pragma once

#include <windows.h>

#include "host/sdk/sdk_api.h"

// Registers the custom-control window classes for a module; a module calls
// it once per process when it is attached.
SELVOSDK_API void InitCustomControls(HINSTANCE module);

// How many times InitCustomControls has run in this process: the stand-in
// host's own record, so that tests can see a module initialise once.
SELVOSDK_API int CustomControlsInitCount();

class ISpinnerControl {
 public:
  virtual void LinkToEdit(HWND edit, int type) = 0;
  virtual void SetLimits(int minimum, int maximum, int notify) = 0;
  virtual void SetValue(int value, int notify) = 0;
  virtual int GetIVal() = 0;

 protected:
  ~ISpinnerControl() = default;  // handed back with ReleaseISpinner
};

// The spinner behind a "SpinnerControl" window; hand it back when done.
SELVOSDK_API ISpinnerControl* GetISpinner(HWND spinner);
SELVOSDK_API void ReleaseISpinner(ISpinnerControl* spinner);
