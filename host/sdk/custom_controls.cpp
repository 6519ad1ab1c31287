// Placeholder until the custom controls land: keeps the record of
// initialisations that tests read, and hands out no spinners. Replace whole,
// keeping CustomControlsInitCount.
#include "host/sdk/custom_controls.h"

namespace {
int initCount = 0;
}

void InitCustomControls(HINSTANCE) { ++initCount; }

int CustomControlsInitCount() { return initCount; }

ISpinnerControl* GetISpinner(HWND) { return nullptr; }

void ReleaseISpinner(ISpinnerControl*) {}
