// The splash process: a borderless window on top that shows the tracker's start-up texts and a
// progress bar, fed through the splash link's shared block.
#pragma once

#include <string>

/// Runs the splash process's side: opens the link made by the tracker that started this
/// process, shows the splash window and serves the tracker's requests until it asks to close,
/// the tracker is gone or the window is closed. Then prints "Closing the program", pauses
/// 1000 ms and returns 0. Returns 1 at once when there is no link or no X display. nameTag
/// names the link (the process's second argument, as the tracker passes it; empty: the tag of
/// this user and the parent process).
int runSplashScreen(const std::string& nameTag = "");

/// Reports a failed system call of the splash link ("Error on %s = %d"): on the standard output,
/// and in a message box when an X display is there to show one.
void showSplashError(const char* call, int code);
