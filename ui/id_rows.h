// The controls of the setup dialog's 16 ID rows. Their ids are irregular,
// so code walks this table instead of computing them.
#pragma once

#include "res/resource.h"

struct IdRowControls {
  int pick;
  int fromEdit;
  int fromSpinner;
  int toEdit;
  int toSpinner;
  int dither;
};

#define SELVO_ID_ROW(n)                                                                         \
  IdRowControls {                                                                               \
    IDC_PICK_##n, IDC_FROM_EDIT_##n, IDC_FROM_SPINNER_##n, IDC_TO_EDIT_##n, IDC_TO_SPINNER_##n, \
        IDC_DITHER_##n                                                                          \
  }

inline constexpr IdRowControls kIdRows[16] = {
    SELVO_ID_ROW(0),  SELVO_ID_ROW(1),  SELVO_ID_ROW(2),  SELVO_ID_ROW(3),
    SELVO_ID_ROW(4),  SELVO_ID_ROW(5),  SELVO_ID_ROW(6),  SELVO_ID_ROW(7),
    SELVO_ID_ROW(8),  SELVO_ID_ROW(9),  SELVO_ID_ROW(10), SELVO_ID_ROW(11),
    SELVO_ID_ROW(12), SELVO_ID_ROW(13), SELVO_ID_ROW(14), SELVO_ID_ROW(15),
};

#undef SELVO_ID_ROW

// Pick buttons are the one regular run: ID k's button is IDC_PICK_0 + k.
constexpr int kFirstPickButton = IDC_PICK_0;
constexpr int kLastPickButton = IDC_PICK_15;
