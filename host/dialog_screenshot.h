// `selvo-host screenshot`: opens one of the filter's dialogs, copies the
// dialog window into a BMP file and closes it again, so that a person can
// look at the dialogs from a terminal.
#pragma once

#include <string>

class ImageFilter;

// `dialog` is "setup" or "about". The setup dialog is closed with Cancel,
// so the settings stay as they were. Returns true once the file is written.
bool ScreenshotDialog(ImageFilter& filter, const std::string& dialog, const std::string& path,
                      std::string& error);
