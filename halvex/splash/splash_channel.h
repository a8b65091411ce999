// The splash window as the tracker's load-status sink: image loading while drawing posts its
// status and progress to the splash and shows or hides it.
#pragma once

class SplashLink;

/// Attaches the running splash link as the load-status sink (null detaches).
void setSplashChannel(SplashLink* link);
