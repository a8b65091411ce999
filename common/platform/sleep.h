// Suspending the calling thread.
#pragma once

/// Sleeps the calling thread for at least ms milliseconds.
void sleepMs(unsigned ms);
