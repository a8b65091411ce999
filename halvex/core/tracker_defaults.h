// The tracker's receive-buffer sizes and idle thresholds in force before, or instead of, what the
// configuration files give: every place that starts with one takes it from here.
#pragma once

namespace tracker_defaults {

// Receive buffers of the multicast input ports.

/// Smallest buffer: one character and its terminator, bytes.
constexpr int kMinBufferBytes = 2;
/// Largest buffer: holds the largest UDP datagram, bytes.
constexpr int kMaxBufferBytes = 65536;
/// Smallest ring, buffers.
constexpr int kMinBuffersPerPort = 1;
/// Largest ring, buffers.
constexpr int kMaxBuffersPerPort = 65536;
/// Largest ring block (bytes times buffers) of one port.
constexpr long kMaxRingBytes = 64L << 20;
/// Buffer size taken for a value below the smallest, bytes; also the model's size at start.
constexpr int kBufferBytes = 250;
/// Ring size taken for a value below the smallest, buffers; also the model's size at start.
constexpr int kBuffersPerPort = 20;
/// Buffer size the windowed and headless trackers start with, before any file is read, bytes.
constexpr int kStartBufferBytes = 200;
/// Ring size the windowed and headless trackers start with, before any file is read, buffers.
constexpr int kStartBuffersPerPort = 50;
/// Ring size of an input/output definitions file that names none, buffers.
constexpr int kDefinitionsBuffersPerPort = 75;
/// Ring memory of all ports together, MiB: ports past it are not opened, so that a port file
/// of thousands of lines cannot exhaust memory.
constexpr int kMulticastMemoryMB = 256;

// Map pictures.

/// Largest decoded map picture, Mpixel (2^20 pixels): 256 MiB as RGBA, far above any texture a
/// graphics card takes, far below what a hostile header may declare.
constexpr int kMapMaxMegapixels = 64;
/// Texture memory of the tiles of large map rasters, MiB: what a 2k screen's tiles at two levels
/// need several times over, well within a graphics card's memory.
constexpr int kMapTextureBudgetMB = 512;
// Idle thresholds: seconds without reception before a node counts as idle ("medium") or lost
// ("bad").

/// Thresholds pushed to the node table when the model is built and the window starts, s.
constexpr double kStartMediumIdle = 2.0;
constexpr double kStartBadIdle = 4.0;
/// Thresholds of the follow settings and engine controls before preferences are read, s.
constexpr double kSettingsMediumIdle = 5.0;
constexpr double kSettingsBadIdle = 10.0;
/// Thresholds of a node table that nobody has configured yet, ms.
constexpr int kTableMediumIdleMs = 4000;
constexpr int kTableBadIdleMs = 2000;

// Trails: each node's recent track drawn behind its icon.

/// Trail span before the preferences say, minutes.
constexpr int kTrailMinutes = 10;
/// Longest trail span a preferences file may set, minutes: a day.
constexpr int kMaxTrailMinutes = 24 * 60;

// Field reports: the rows of the project's CSV data set drawn on the map.

/// "reports of the last N hours" before the preferences say: 0 keeps every report.
constexpr int kReportHours = 0;
/// Longest report window a preferences file or the window may set, hours: ten years, more than
/// any exercise's reports span.
constexpr int kMaxReportHours = 10 * 366 * 24;

}  // namespace tracker_defaults
