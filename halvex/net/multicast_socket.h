// The receive socket of a multicast input port.
#pragma once

/// Opens a UDP socket bound to `port` on every local address with SO_REUSEADDR (so several
/// trackers on one host can receive the same group) and joined to the dotted IPv4 `group`; it
/// receives that group only, not others joined on the same port by other sockets.
/// Returns the descriptor, or -1 when the socket cannot be created; a bind or join failure is
/// not reported and shows up as a socket that receives nothing.
int openMulticastReceiver(const char* group, long port);
