// The splash process: a borderless window on top that shows the tracker's start-up texts and a
// progress bar, fed through the splash link's shared block.
#pragma once

#include <string>

/// Runs the splash process's side: opens the link made by the tracker that started this
/// process, shows the splash window and serves the tracker's requests until it asks to close,
/// the tracker is gone or the window is closed. Then prints "Closing the program", pauses
/// 1000 ms and returns 0. Returns 1 at once when there is no link or no X display. nameSuffix
/// is the tracker's (the process's second argument, if any).
int runSplashScreen(const std::string& nameSuffix = "");

/// Reports a failed system call of the splash link ("Error on %s = %d"): on the standard output,
/// and in a message box when an X display is there to show one.
void showSplashError(const char* call, int code);
