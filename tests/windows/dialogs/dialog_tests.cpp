// The setup dialog, its palette grid and file choosers, and the about box,
// driven through real window messages under Wine. Each test loads the module
// afresh (CTest runs each in a process of its own, on a display of its own).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "host/sdk/custom_controls.h"
#include "res/resource.h"
#include "tests/windows/dialogs/dialog_harness.h"
#include "ui/id_rows.h"

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kRed = Rgb(255, 0, 0);
constexpr uint32_t kBlack = Rgb(0, 0, 0);

// Grid geometry as the dialog fixes it, in client pixels: index i lies in
// column i / 16 and row i % 16; its swatch starts at x 28 + 9c and
// B - 164 + 6r (B the client bottom), its frame one pixel further out.
int SwatchX(int index) { return 28 + 9 * (index / 16); }
int SwatchY(int index, int b) { return b - 164 + 6 * (index % 16); }
// The middle of a swatch: never touched by a neighbour's frame.
int MidX(int index) { return SwatchX(index) + 2; }
int MidY(int index, int b) { return SwatchY(index, b) + 2; }

// A palette whose entries differ from each other and from white, red and
// black, so that every probe tells them apart.
void FillTestPalette(uint8_t palette[selvo::kPaletteSize], int seed) {
  for (int i = 0; i < 256; ++i) {
    palette[3 * i + 0] = uint8_t(i);
    palette[3 * i + 1] = uint8_t(255 - i);
    palette[3 * i + 2] = uint8_t(i * 37 + seed);
  }
}

uint32_t PaletteRgb(const uint8_t palette[selvo::kPaletteSize], int i) {
  return Rgb(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]);
}

selvo::RendererConfig TestSettings() {
  selvo::RendererConfig config;
  config.sourceChannel = selvo::kObjectChannel;
  std::strcpy(config.outputName, "C:\\frames\\take.pcx");
  config.method = selvo::kFindMostSimilarColor;
  FillTestPalette(config.palette, 0);
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    config.ranges[id].from = uint8_t(10 * id);
    config.ranges[id].to = uint8_t(10 * id + 5);
    config.ranges[id].dither = uint8_t(id % 3 == 0 ? 0 : id % 3 == 1 ? 1 : 7);
  }
  config.ranges[9] = selvo::ColorRange{200, 100, 0};  // From above To
  return config;
}

std::string Text(int value) { return std::to_string(value); }

// ---- What the dialog procedure answers ----

// Asked by a hook on the dialog's own thread at the first message that
// reaches the new setup dialog: the hook runs before the dialog procedure
// sees that message, so the procedure has not yet had a WM_INITDIALOG.
struct EarlyAnswers {
  bool asked = false;
  INT_PTR toUnhandledCommand = -1;
  INT_PTR toCancel = -1;
};
EarlyAnswers early;
HHOOK earlyHook = nullptr;

bool IsSetupDialog(HWND window) {
  char className[16] = "", title[64] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  return std::strcmp(className, "#32770") == 0 && std::strcmp(title, kSetupTitle) == 0;
}

LRESULT CALLBACK AskBeforeInitialisation(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && !early.asked && IsSetupDialog(message->hwnd)) {
    DLGPROC procedure = DialogProcedure(message->hwnd);
    if (procedure != nullptr) {
      early.asked = true;
      early.toUnhandledCommand =
          procedure(message->hwnd, WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0);
      early.toCancel = procedure(message->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(earlyHook, code, wParam, lParam);
}

// Until the first WM_INITDIALOG of the module's life names the settings,
// the dialog procedure answers FALSE and does nothing, not even for Cancel:
// the dialog manager then treats each such message itself.
TEST(SetupDialog, AnswersFalseBeforeItsFirstInitialisation) {
  FilterSession session;  // a freshly loaded module
  ASSERT_TRUE(session.ok());
  early = EarlyAnswers{};
  earlyHook =
      SetWindowsHookExA(WH_CALLWNDPROC, AskBeforeInitialisation, nullptr, GetCurrentThreadId());
  ASSERT_NE(earlyHook, nullptr);
  bool opened = false;
  const int result = session.RunSetup([&](HWND dialog) {
    opened = IsWindowVisible(dialog) != 0;
    Click(dialog, IDCANCEL);
  });
  UnhookWindowsHookEx(earlyHook);
  ASSERT_TRUE(early.asked) << "no message reached the dialog before its initialisation";
  EXPECT_EQ(early.toUnhandledCommand, FALSE);
  EXPECT_EQ(early.toCancel, FALSE);
  EXPECT_TRUE(opened);  // the early Cancel did not end the dialog
  EXPECT_EQ(result, 0);
}

// Once open, every WM_COMMAND is answered TRUE, whether the dialog acts on
// it or not and whatever its notification code: the host's dialog manager
// takes TRUE as "handled" and adds no processing of its own.
TEST(SetupDialog, AnswersTrueToCommandsItDoesNotHandle) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  session.Store(TestSettings());
  const std::vector<uint8_t> before = session.Block();
  const int result = session.RunSetup([&](HWND dialog) {
    DLGPROC procedure = DialogProcedure(dialog);
    ASSERT_NE(procedure, nullptr);
    const struct {
      int id;
      int notification;
    } commands[] = {{IDC_MATERIAL_EFFECTS, BN_CLICKED},
                    {IDC_OBJECT_CHANNEL, BN_CLICKED},
                    {IDC_OUTPUT_NAME, EN_CHANGE},
                    {IDC_OUTPUT_NAME, EN_KILLFOCUS},
                    {kIdRows[3].dither, BN_CLICKED},
                    {kIdRows[5].fromEdit, EN_CHANGE},
                    {kIdRows[5].toSpinner, 0},
                    {IDC_STATIC & 0xFFFF, 0},
                    {0, 0},
                    {4242, 1}};
    for (const auto& command : commands) {
      const LPARAM control = reinterpret_cast<LPARAM>(GetDlgItem(dialog, command.id));
      const INT_PTR answer =
          procedure(dialog, WM_COMMAND, MAKEWPARAM(command.id, command.notification), control);
      EXPECT_EQ(answer, TRUE) << "command " << command.id << ", notification "
                              << command.notification;
    }
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsChecked(dialog, IDC_OBJECT_CHANNEL));  // answered, not acted on
    EXPECT_EQ(ItemText(dialog, IDC_OUTPUT_NAME), std::string("C:\\frames\\take.pcx"));
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(session.Block() == before);
}

// ---- Opening, OK and Cancel ----

TEST(SetupDialog, OpeningFillsEveryControl) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  const selvo::RendererConfig settings = TestSettings();
  session.Store(settings);
  int heldWhileOpen = -1;
  const int result = session.RunSetup([&](HWND dialog) {
    EXPECT_FALSE(IsChecked(dialog, IDC_MATERIAL_EFFECTS));
    EXPECT_TRUE(IsChecked(dialog, IDC_OBJECT_CHANNEL));
    EXPECT_FALSE(IsChecked(dialog, IDC_UNIFORM));
    EXPECT_TRUE(IsChecked(dialog, IDC_MOST_SIMILAR));
    EXPECT_EQ(ItemText(dialog, IDC_OUTPUT_NAME), std::string("C:\\frames\\take.pcx"));
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_OUTPUT_NAME, EM_GETLIMITTEXT, 0, 0), 255);
    for (int id = 0; id < selvo::kRangeCount; ++id) {
      EXPECT_EQ(ItemText(dialog, kIdRows[id].fromEdit), Text(settings.ranges[id].from)) << id;
      EXPECT_EQ(ItemText(dialog, kIdRows[id].toEdit), Text(settings.ranges[id].to)) << id;
      // Most-similar colour: disabled, but the check marks stay.
      EXPECT_EQ(IsChecked(dialog, kIdRows[id].dither), settings.ranges[id].dither != 0) << id;
      EXPECT_FALSE(IsEnabled(dialog, kIdRows[id].dither)) << id;
    }
    heldWhileOpen = SpinnersHeld();
    Click(dialog, IDC_UNIFORM);
    for (int id = 0; id < selvo::kRangeCount; ++id)
      EXPECT_TRUE(IsEnabled(dialog, kIdRows[id].dither)) << "ID " << id;
    Click(dialog, IDC_MOST_SIMILAR);
    EXPECT_FALSE(IsEnabled(dialog, kIdRows[4].dither));
    Click(dialog, IDOK);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(heldWhileOpen, 32);
  EXPECT_EQ(SpinnersHeld(), 0);  // all handed back when the dialog went
  const selvo::RendererConfig stored = session.Settings();
  EXPECT_EQ(stored.sourceChannel, selvo::kObjectChannel);
  EXPECT_EQ(stored.method, selvo::kFindMostSimilarColor);
  EXPECT_EQ(std::string(stored.outputName), std::string("C:\\frames\\take.pcx"));
  EXPECT_TRUE(std::memcmp(stored.palette, settings.palette, selvo::kPaletteSize) == 0);
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    EXPECT_EQ(int(stored.ranges[id].from), int(settings.ranges[id].from));
    EXPECT_EQ(int(stored.ranges[id].to), int(settings.ranges[id].to));
    // Disabled boxes are stored too, and any non-zero flag comes back as 1.
    EXPECT_EQ(int(stored.ranges[id].dither), settings.ranges[id].dither != 0 ? 1 : 0);
  }
}

TEST(SetupDialog, OkStoresWhatTheControlsHold) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  selvo::RendererConfig settings = TestSettings();
  settings.sourceChannel = 777;  // outside both radio pairs
  settings.method = 5;
  session.Store(settings);
  const std::string longName(300, 'n');
  const int result = session.RunSetup([&](HWND dialog) {
    EXPECT_FALSE(IsChecked(dialog, IDC_MATERIAL_EFFECTS));
    EXPECT_FALSE(IsChecked(dialog, IDC_OBJECT_CHANNEL));
    EXPECT_FALSE(IsChecked(dialog, IDC_UNIFORM));
    EXPECT_FALSE(IsChecked(dialog, IDC_MOST_SIMILAR));
    SetItemText(dialog, IDC_OUTPUT_NAME, "");
    TypeInto(dialog, IDC_OUTPUT_NAME, longName);  // only 255 go in
    EXPECT_EQ(ItemText(dialog, IDC_OUTPUT_NAME).size(), 255u);
    // Typed numbers: From above To, and one beyond the limits.
    SetItemText(dialog, kIdRows[2].fromEdit, "200");
    SetItemText(dialog, kIdRows[2].toEdit, "100");
    SetItemText(dialog, kIdRows[3].fromEdit, "300");
    SetItemText(dialog, kIdRows[3].toEdit, "oops");  // not a number: kept at 35
    // Spinner clicks: upper half up, lower half down; a drag upwards.
    HWND up = GetDlgItem(dialog, kIdRows[4].toSpinner);
    SendMessageA(up, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessageA(up, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    RECT spinner;
    GetClientRect(GetDlgItem(dialog, kIdRows[5].fromSpinner), &spinner);
    HWND down = GetDlgItem(dialog, kIdRows[5].fromSpinner);
    SendMessageA(down, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, spinner.bottom - 2));
    SendMessageA(down, WM_LBUTTONUP, 0, MAKELPARAM(1, spinner.bottom - 2));
    EXPECT_EQ(ItemText(dialog, kIdRows[5].fromEdit), std::string("49"));
    HWND drag = GetDlgItem(dialog, kIdRows[6].toSpinner);
    SendMessageA(drag, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessageA(drag, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1, -19 & 0xFFFF));
    SendMessageA(drag, WM_LBUTTONUP, 0, MAKELPARAM(1, -19 & 0xFFFF));
    // Down to the lower limit and no further.
    HWND floor = GetDlgItem(dialog, kIdRows[7].fromSpinner);
    SendMessageA(floor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessageA(floor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(1, 400));
    SendMessageA(floor, WM_LBUTTONUP, 0, MAKELPARAM(1, 400));
    EXPECT_EQ(ItemText(dialog, kIdRows[7].fromEdit), std::string("0"));
    Click(dialog, kIdRows[8].dither);  // ID 8's flag was 7: checked, now cleared
    Click(dialog, IDOK);
  });
  EXPECT_EQ(result, 1);
  const selvo::RendererConfig stored = session.Settings();
  EXPECT_EQ(stored.sourceChannel, selvo::kObjectChannel);
  EXPECT_EQ(stored.method, selvo::kFindMostSimilarColor);
  EXPECT_EQ(std::string(stored.outputName), std::string(255, 'n'));
  EXPECT_EQ(int(stored.ranges[2].from), 200);
  EXPECT_EQ(int(stored.ranges[2].to), 100);
  EXPECT_EQ(int(stored.ranges[3].from), 255);
  EXPECT_EQ(int(stored.ranges[3].to), 35);
  EXPECT_EQ(int(stored.ranges[4].to), 46);
  EXPECT_EQ(int(stored.ranges[5].from), 49);
  EXPECT_EQ(int(stored.ranges[6].to), 65 + 1 + 10);  // the click's step, then 20 px up
  EXPECT_EQ(int(stored.ranges[7].from), 0);
  EXPECT_EQ(int(stored.ranges[8].dither), 0);  // it was 7, the click cleared it
  EXPECT_EQ(int(stored.ranges[9].from), 200);
  EXPECT_EQ(int(stored.ranges[9].to), 100);
}

TEST(SetupDialog, CancelDiscardsTheControls) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  session.Store(TestSettings());
  const std::vector<uint8_t> before = session.Block();
  const int result = session.RunSetup([&](HWND dialog) {
    Click(dialog, IDC_MATERIAL_EFFECTS);
    Click(dialog, IDC_UNIFORM);
    SetItemText(dialog, IDC_OUTPUT_NAME, "C:\\elsewhere.pcx");
    SetItemText(dialog, kIdRows[1].fromEdit, "99");
    Click(dialog, kIdRows[1].dither);
    LeftClickAt(dialog, MidX(77), MidY(77, ClientBottom(dialog)));  // anchor only
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(session.Block() == before);
}

// A spinner control that yields no interface must not bring the dialog
// down: its ID's value is left as stored. The control is replaced by a
// plain static, just before the dialog initialises, by a hook on the
// dialog's own thread.
HHOOK replaceHook = nullptr;

LRESULT CALLBACK ReplaceSpinnerHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->message == WM_INITDIALOG) {
    HWND spinner = GetDlgItem(message->hwnd, kIdRows[1].fromSpinner);
    if (spinner != nullptr) {
      RECT rect;
      GetWindowRect(spinner, &rect);
      MapWindowPoints(nullptr, message->hwnd, reinterpret_cast<POINT*>(&rect), 2);
      DestroyWindow(spinner);
      CreateWindowA("Static", "", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, message->hwnd,
                    reinterpret_cast<HMENU>(INT_PTR(kIdRows[1].fromSpinner)), nullptr, nullptr);
    }
  }
  return CallNextHookEx(replaceHook, code, wParam, lParam);
}

TEST(SetupDialog, SpinnerWithoutInterface) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  session.Store(TestSettings());
  replaceHook =
      SetWindowsHookExA(WH_CALLWNDPROC, ReplaceSpinnerHook, nullptr, GetCurrentThreadId());
  ASSERT_NE(replaceHook, nullptr);
  int heldWhileOpen = -1;
  const int result = session.RunSetup([&](HWND dialog) {
    heldWhileOpen = SpinnersHeld();
    SetItemText(dialog, kIdRows[1].fromEdit, "77");  // no spinner reads this box
    SetItemText(dialog, kIdRows[1].toEdit, "88");
    const int b = ClientBottom(dialog);
    LeftClickAt(dialog, MidX(3), MidY(3, b));  // anchor 3
    Click(dialog, kIdRows[1].pick);
    LeftClickAt(dialog, MidX(40), MidY(40, b));  // pick for ID 1: 3..40
    EXPECT_EQ(ItemText(dialog, kIdRows[1].toEdit), std::string("40"));
    Click(dialog, IDOK);
  });
  UnhookWindowsHookEx(replaceHook);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(heldWhileOpen, 31);
  EXPECT_EQ(SpinnersHeld(), 0);
  const selvo::RendererConfig stored = session.Settings();
  EXPECT_EQ(int(stored.ranges[1].from), 3);  // from the pick; no spinner to override it
  EXPECT_EQ(int(stored.ranges[1].to), 40);
  EXPECT_EQ(int(stored.ranges[2].from), 20);
}

// ---- The palette grid ----

// The anchor's black frame and the range's red frames around `index`'s
// swatch: left and right columns, and the pixel rows above and below.
::testing::AssertionResult FrameAround(const WindowPixels& p, int index, int b, uint32_t colour) {
  const int left = SwatchX(index) - 1, right = SwatchX(index) + 6;
  const int top = SwatchY(index, b) - 1, bottom = SwatchY(index, b) + 6;
  const uint32_t probes[4] = {p.At(left, top + 3), p.At(right, top + 3), p.At(left + 3, top),
                              p.At(left + 3, bottom)};
  for (uint32_t probe : probes) {
    if (probe != colour)
      return ::testing::AssertionFailure()
             << "frame around " << index << ": got " << Hex(probe) << ", expected " << Hex(colour);
  }
  return ::testing::AssertionSuccess();
}

TEST(PaletteGrid, PaintsPaletteAndFrames) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  selvo::RendererConfig settings = TestSettings();
  settings.ranges[0] = selvo::ColorRange{3, 5, 0};
  session.Store(settings);
  session.RunSetup([&](HWND dialog) {
    // Everything painted by the dialog's own painting, erase included.
    RepaintAndWait(dialog);
    WindowPixels p;
    EXPECT_TRUE(CaptureClient(dialog, p));
    const int b = p.height;
    // White background, its corners and a gap between columns.
    EXPECT_TRUE(PixelIs(p, 23, b - 168, kWhite));
    EXPECT_TRUE(PixelIs(p, 173, b - 65, kWhite));
    EXPECT_TRUE(PixelIs(p, 23, b - 65, kWhite));
    EXPECT_TRUE(PixelIs(p, 36, b - 100, kWhite));
    EXPECT_TRUE(PixelIs(p, 170, b - 100, kWhite));
    EXPECT_TRUE(p.At(22, b - 100) != kWhite);  // the dialog's own face around it
    EXPECT_TRUE(p.At(174, b - 100) != kWhite);
    // Swatches run down the columns.
    for (int i : {7, 16, 100, 200, 254})
      EXPECT_TRUE(PixelIs(p, MidX(i), MidY(i, b), PaletteRgb(settings.palette, i)));
    EXPECT_TRUE(PixelIs(p, 163, b - 74, PaletteRgb(settings.palette, 255)));  // swatch 255's corner
    EXPECT_TRUE(PixelIs(p, 168, b - 69, PaletteRgb(settings.palette, 255)));
    // The anchor, index 0, framed in black; ID 0's range 3..5 in red.
    EXPECT_TRUE(FrameAround(p, 0, b, kBlack)) << "anchor";
    for (int i = 3; i <= 5; ++i) EXPECT_TRUE(FrameAround(p, i, b, kRed)) << "range";
    // Between neighbouring frames the red line is two pixels thick.
    EXPECT_TRUE(PixelIs(p, 30, SwatchY(4, b) - 1, kRed));
    EXPECT_TRUE(PixelIs(p, 30, SwatchY(4, b), kRed));
    EXPECT_TRUE(PixelIs(p, MidX(4), MidY(4, b), PaletteRgb(settings.palette, 4)));
    EXPECT_TRUE(PixelIs(p, 27, MidY(2, b), kWhite));  // no frame outside the range
    EXPECT_TRUE(PixelIs(p, 27, MidY(6, b), kWhite));
  });
}

TEST(PaletteGrid, ClicksAndPicks) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  session.Store(TestSettings());
  selvo::RendererConfig during;
  const int result = session.RunSetup([&](HWND dialog) {
    const int b = ClientBottom(dialog);
    // Hit-zone edges: x 27 and y B - 69 are column 0 row 15 (index 15);
    // then a pick from there to x 168, y B - 164 (index 240).
    LeftClickAt(dialog, 27, b - 69);
    Click(dialog, kIdRows[0].pick);
    LeftClickAt(dialog, 168, b - 164);
    EXPECT_EQ(ItemText(dialog, kIdRows[0].fromEdit), std::string("15"));
    EXPECT_EQ(ItemText(dialog, kIdRows[0].toEdit), std::string("240"));
    // x 25 still hits column 0, x 34 column 1 (index 16); x 168, y B - 69 is 255.
    LeftClickAt(dialog, 25, b - 164);
    LeftClickAt(dialog, 34, b - 164);
    Click(dialog, kIdRows[1].pick);
    LeftClickAt(dialog, 169, b - 69);  // misses: the pick stays pending
    LeftClickAt(dialog, 168, b - 68);  // misses too
    LeftClickAt(dialog, 168, b - 69);
    EXPECT_EQ(ItemText(dialog, kIdRows[1].fromEdit), std::string("16"));
    EXPECT_EQ(ItemText(dialog, kIdRows[1].toEdit), std::string("255"));
    // The anchor stays: a pick ending below it stores From above To and the
    // grid then frames nothing in red.
    Click(dialog, kIdRows[2].pick);
    LeftClickAt(dialog, 26, b - 158);  // index 1
    WindowPixels p;
    EXPECT_TRUE(CaptureClient(dialog, p));
    EXPECT_TRUE(FrameAround(p, 16, b, kBlack)) << "anchor";
    EXPECT_TRUE(PixelIs(p, 27, MidY(1, b), kWhite));  // no red around index 1
    EXPECT_TRUE(PixelIs(p, 27, MidY(2, b), kWhite));
    // Two pick buttons in a row: only the second ID gets the range.
    Click(dialog, kIdRows[3].pick);
    Click(dialog, kIdRows[4].pick);
    LeftClickAt(dialog, MidX(50), MidY(50, b));
    // A right click abandons the pick; the next click moves the anchor.
    Click(dialog, kIdRows[5].pick);
    RightClickAt(dialog, MidX(60), MidY(60, b));
    LeftClickAt(dialog, MidX(60), MidY(60, b));
    Click(dialog, kIdRows[6].pick);
    LeftClickAt(dialog, MidX(61), MidY(61, b));
    EXPECT_TRUE(CaptureClient(dialog, p));
    EXPECT_TRUE(FrameAround(p, 60, b, kBlack)) << "anchor";
    EXPECT_TRUE(FrameAround(p, 61, b, kRed)) << "range";
    during = session.Settings();  // picks are in the settings at once
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  const selvo::RendererConfig stored = session.Settings();
  const int expected[][3] = {{0, 15, 240}, {1, 16, 255}, {2, 16, 1}, {3, 30, 35},
                             {4, 16, 50},  {5, 50, 55},  {6, 60, 61}};
  for (const auto& e : expected) {
    EXPECT_EQ(int(during.ranges[e[0]].from), e[1]) << "ID " << e[0];
    EXPECT_EQ(int(stored.ranges[e[0]].from), e[1]) << "ID " << e[0];  // Cancel keeps picks
    EXPECT_EQ(int(stored.ranges[e[0]].to), e[2]) << "ID " << e[0];
  }

  // Reopened: anchor 0, ID 0's range in red, no pick pending.
  session.RunSetup([&](HWND dialog) {
    RepaintAndWait(dialog);
    WindowPixels p;
    EXPECT_TRUE(CaptureClient(dialog, p));
    const int b = p.height;
    EXPECT_TRUE(FrameAround(p, 0, b, kBlack)) << "anchor";
    EXPECT_TRUE(FrameAround(p, 15, b, kRed)) << "range";
    EXPECT_TRUE(FrameAround(p, 240, b, kRed)) << "range";
    LeftClickAt(dialog, MidX(99), MidY(99, b));  // only moves the anchor
    Click(dialog, IDOK);
  });
  const selvo::RendererConfig reopened = session.Settings();
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    EXPECT_EQ(int(reopened.ranges[id].from), int(stored.ranges[id].from));
    EXPECT_EQ(int(reopened.ranges[id].to), int(stored.ranges[id].to));
  }
}

// Each painting makes some 260 brushes. Wine's GDI handle table holds about
// 65,000 objects, so a painting that leaked them would run dry long before
// the 400th, and the last paintings would no longer draw.
TEST(PaletteGrid, PaintingsLeakNothing) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  selvo::RendererConfig settings = TestSettings();
  settings.ranges[0] = selvo::ColorRange{200, 100, 0};  // no red frames to tell apart
  session.Store(settings);
  session.RunSetup([&](HWND dialog) {
    const int b = ClientBottom(dialog);
    for (int i = 0; i < 390; ++i) LeftClickAt(dialog, 300, 5);  // misses; each repaints
    for (int i = 0; i < 10; ++i) RepaintAndWait(dialog);
    LeftClickAt(dialog, MidX(130), MidY(130, b));  // the 401st painting moves the anchor
    WindowPixels p;
    EXPECT_TRUE(CaptureClient(dialog, p));
    EXPECT_TRUE(FrameAround(p, 130, b, kBlack)) << "anchor";
    EXPECT_TRUE(PixelIs(p, 27, MidY(0, b), kWhite));  // the old anchor frame is gone
    EXPECT_TRUE(PixelIs(p, MidX(0), MidY(0, b), PaletteRgb(settings.palette, 0)));
    EXPECT_TRUE(PixelIs(p, MidX(201), MidY(201, b), PaletteRgb(settings.palette, 201)));
    Click(dialog, IDCANCEL);
  });
}

// ---- File choosers ----

HWND WaitForChooser(const char* title) {
  HWND chooser = WaitForWindow(title, 20000);
  if (chooser == nullptr) ADD_FAILURE() << "no chooser titled \"" << title << "\" appeared";
  return chooser;
}

// Chooses `name` in the output chooser; returns the text edit 1005 then shows.
std::string BrowseOutput(HWND dialog, const std::string& name) {
  PostCommand(dialog, IDC_BROWSE_OUTPUT);
  HWND chooser = WaitForChooser(kOutputChooserTitle);
  if (chooser == nullptr) return "";
  if (name.empty()) PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
  else EXPECT_TRUE(ConfirmFileDialog(chooser, name));
  WaitUntilGone(chooser);
  Sync(dialog);
  return ItemText(dialog, IDC_OUTPUT_NAME);
}

TEST(FileChoosers, OutputChooserStoresTheBaseName) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  session.Store(TestSettings());
  const int result = session.RunSetup([&](HWND dialog) {
    // The chooser starts from the stored name, not from the edit box (the
    // file dialog shows the name's last part in its box).
    SetItemText(dialog, IDC_OUTPUT_NAME, "typed but not stored");
    PostCommand(dialog, IDC_BROWSE_OUTPUT);
    HWND chooser = WaitForChooser(kOutputChooserTitle);
    if (chooser == nullptr) return;
    EXPECT_EQ(FileDialogName(chooser), std::string("take.pcx"));
    EXPECT_TRUE(ConfirmFileDialog(chooser, "C:\\shot0012.pcx"));
    WaitUntilGone(chooser);
    Sync(dialog);
    EXPECT_EQ(ItemText(dialog, IDC_OUTPUT_NAME), std::string("C:\\shot.pcx"));
    // A cancelled chooser still puts the stored name back into the box.
    SetItemText(dialog, IDC_OUTPUT_NAME, "typed again");
    EXPECT_EQ(BrowseOutput(dialog, ""), std::string("C:\\shot.pcx"));
    EXPECT_EQ(BrowseOutput(dialog, "C:\\windows\\a1.b2.PCX"), std::string("C:\\windows\\a.pcx"));
    EXPECT_EQ(BrowseOutput(dialog, "C:\\windows\\walk"), std::string("C:\\windows\\walk.pcx"));
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  // The browsed name survives Cancel of the setup dialog.
  EXPECT_EQ(std::string(session.Settings().outputName), std::string("C:\\windows\\walk.pcx"));
}

// A file whose last 768 bytes are `palette`, as an 8-bit PCX file ends.
std::string WritePaletteFile(const std::string& name, const uint8_t palette[768]) {
  char directory[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, directory);
  const std::string path = std::string(directory) + name;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return path;
  const uint8_t header[128] = {0x0A, 5, 1, 8};
  std::fwrite(header, 1, sizeof header, out);
  const uint8_t pixels[7] = {0xC3, 1, 2, 3, 4, 5, 6};
  std::fwrite(pixels, 1, sizeof pixels, out);
  std::fputc(0x0C, out);
  std::fwrite(palette, 1, 768, out);
  std::fclose(out);
  return path;
}

void ImportPalette(HWND dialog, const std::string& name) {
  PostCommand(dialog, IDC_BROWSE_PALETTE);
  HWND chooser = WaitForChooser(kPaletteChooserTitle);
  if (chooser == nullptr) return;
  EXPECT_EQ(FileDialogName(chooser), std::string(""));  // always starts empty
  EXPECT_TRUE(ConfirmFileDialog(chooser, name));
  WaitUntilGone(chooser);
  Sync(dialog);
}

TEST(FileChoosers, PaletteChooserFillsTheWorkingPalette) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  const selvo::RendererConfig settings = TestSettings();
  session.Store(settings);
  uint8_t imported[768];
  FillTestPalette(imported, 101);
  // Chosen as "gamepal.txt": the reader opens "gamepal.txt.pcx".
  const std::string file = WritePaletteFile("gamepal.txt.pcx", imported);
  const std::string typed = file.substr(0, file.size() - 4);

  // Imported, then Cancel: the settings' palette stays.
  int result = session.RunSetup([&](HWND dialog) {
    ImportPalette(dialog, typed);
    RepaintAndWait(dialog);
    WindowPixels p;
    EXPECT_TRUE(CaptureClient(dialog, p));
    EXPECT_TRUE(PixelIs(p, MidX(5), MidY(5, p.height), PaletteRgb(imported, 5)));
    EXPECT_TRUE(PixelIs(p, MidX(222), MidY(222, p.height), PaletteRgb(imported, 222)));
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(std::memcmp(session.Settings().palette, settings.palette, 768) == 0);

  // A file that does not exist changes nothing; an imported one goes in at OK.
  result = session.RunSetup([&](HWND dialog) {
    ImportPalette(dialog, file.substr(0, file.find_last_of('\\') + 1) + "nothere.pcx");
    RepaintAndWait(dialog);
    WindowPixels p;
    EXPECT_TRUE(CaptureClient(dialog, p));
    EXPECT_TRUE(PixelIs(p, MidX(5), MidY(5, p.height), PaletteRgb(settings.palette, 5)));
    ImportPalette(dialog, file);
    Click(dialog, IDOK);
  });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(std::memcmp(session.Settings().palette, imported, 768) == 0);
  DeleteFileA(file.c_str());
}

// ---- About box ----

BOOL CALLBACK FindPicture(HWND child, LPARAM found) {
  auto image = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (image != nullptr) *reinterpret_cast<HBITMAP*>(found) = image;
  return image == nullptr;
}

TEST(AboutBox, ClosesOnOkEscapeAndCloseBox) {
  FilterSession session;
  ASSERT_TRUE(session.ok());
  bool stayedOpen = false;
  int result = session.RunAbout([&](HWND about) {
    SendMessageA(about, WM_COMMAND, MAKEWPARAM(1005, BN_CLICKED), 0);
    SendMessageA(about, WM_COMMAND, MAKEWPARAM(0, 0), 0);
    stayedOpen = IsWindow(about) && IsWindowVisible(about);
    // The picture is bitmap 103, at its own size.
    HBITMAP picture = nullptr;
    EnumChildWindows(about, FindPicture, reinterpret_cast<LPARAM>(&picture));
    BITMAP info = {};
    EXPECT_TRUE(picture != nullptr && GetObjectA(picture, sizeof info, &info) != 0);
    EXPECT_EQ(info.bmWidth, 64);
    EXPECT_EQ(info.bmHeight, 64);
    Click(about, IDOK);
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(result, 1);
  result = session.RunAbout([](HWND about) {
    PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
  });
  EXPECT_EQ(result, 1);
  result = session.RunAbout([](HWND about) {
    HWND focus = GetDlgItem(about, IDOK);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  });
  EXPECT_EQ(result, 1);
}

// Bitmap 103 as stored: 64 x 64, 4 bits, uncompressed, the fixed greys.
TEST(AboutBox, PictureResource) {
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> module(
      LoadLibraryExA(wintest::ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE),
      &FreeLibrary);
  ASSERT_NE(module, nullptr);
  HRSRC found =
      FindResourceA(module.get(), MAKEINTRESOURCEA(IDB_ABOUT_PICTURE), MAKEINTRESOURCEA(2));
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module.get(), found)));
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes, sizeof header);
  EXPECT_EQ(header.biWidth, 64);
  EXPECT_EQ(header.biHeight, 64);  // positive: rows bottom-up
  EXPECT_EQ(header.biBitCount, 4);
  EXPECT_EQ(header.biCompression, DWORD(BI_RGB));
  const int levels[16] = {252, 246, 234, 215, 194, 173, 154, 133, 111, 90, 70, 50, 31, 16, 6, 0};
  const uint8_t* palette = bytes + header.biSize;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(int(palette[4 * i]), levels[i]) << "grey " << i;
    EXPECT_EQ(int(palette[4 * i + 1]), levels[i]) << "grey " << i;
    EXPECT_EQ(int(palette[4 * i + 2]), levels[i]) << "grey " << i;
  }
  EXPECT_EQ(SizeofResource(module.get(), found), DWORD(header.biSize + 16 * 4 + 32 * 64));
}

}  // namespace
