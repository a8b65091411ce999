// The tracker's splash status channel as seen by code that loads images while drawing: post a
// status line, show or hide the splash window. Does nothing while no splash is attached.
#pragma once

class SplashLink;

/// Attaches the running splash link (null detaches).
void setSplashChannel(SplashLink* link);
/// Whether a splash link is attached and has its block.
bool splashChannelOpen();
/// Sets the splash status text.
void splashStatus(const char* text);
/// Asks the splash to show itself on top.
void splashShow();
/// Asks the splash to hide itself.
void splashHide();
