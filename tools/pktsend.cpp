// pktsend: sends position packets of simulated vehicles to a multicast group, for trying out and
// measuring the tracker's multicast inputs on one host.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/angles.h"
#include "common/version.h"
#include "halvex/streams/packet_builder.h"
#include "tools/tool_options.h"

namespace {

using tool_options::parseDouble;
using tool_options::parseIds;
using tool_options::parseLong;

const char kUsage[] =
    "Usage: pktsend [options]\n"
    "  or:  pktsend --help | --version\n"
    "Sends position packets of simulated vehicles to a multicast group and port, one datagram\n"
    "per fix, with TTL 0 and multicast loopback on: only receivers on this host get them.\n"
    "Each packet holds the vehicle's id, two comments and a GPZDA and a GPGLL sentence with\n"
    "checksums. The vehicles take turns, one packet each per round.\n"
    "\n"
    "  --group ADDR     multicast group, dotted IPv4 in 224.0.0.0/4 (default 239.255.0.1)\n"
    "  --port N         UDP port, 1..65535 (default 5000)\n"
    "  --ids LIST       vehicle ids 0..1000: numbers and ranges separated by commas,\n"
    "                   e.g. 1,4,10-19 (default 1)\n"
    "  --count N        packets to send in all; 0 sends until killed (default 0)\n"
    "  --rate R         packets per second in all, paced against the clock (fractions\n"
    "                   allowed); 0 sends as fast as possible (default 10)\n"
    "  --motion M       circle: the vehicles go round a circle about the start position,\n"
    "                   spread evenly over it; line: they start side by side across the\n"
    "                   heading and drive along it (default circle)\n"
    "  --lat DEG        latitude of the start position, south negative (default 32.7)\n"
    "  --lon DEG        longitude of the start position, west negative (default -117.16)\n"
    "  --radius M       circle radius, or the spacing between lines, in metres (default 200)\n"
    "  --speed M/S      speed of every vehicle in metres per second (default 10)\n"
    "  --heading DEG    direction of the lines, clockwise from north (default 90)\n"
    "  --start TIME     packet time of the first round, UTC: YYYY-MM-DDTHH:MM:SS[.sss] or\n"
    "                   seconds since 1970 (default now)\n"
    "  --step S         packet time between a vehicle's successive fixes, in seconds (default\n"
    "                   ids / rate, so that packet time keeps up with the clock; 0.001 with\n"
    "                   --rate 0); packet times never decrease\n"
    "  --comment1 TEXT  first comment of every packet: at most 127 characters, no\n"
    "                   commas (default \"pktsend\")\n"
    "  --comment2 TEXT  second comment, as the first (default: the motion name)\n"
    "  --quiet          no summary line at the end\n"
    "  --help           this text\n"
    "  --version        the program's name and version\n"
    "\n"
    "At the end (count reached, SIGINT or SIGTERM) a line on standard output tells how many\n"
    "packets were sent in what time. Exit status 0 on success, 1 when sending failed, 2 on a\n"
    "usage error.\n";

constexpr int kMaxNodeId = 1000;
constexpr size_t kMaxCommentLength = 127;
constexpr int kMaxBatch = 64;               ///< Datagrams handed to the kernel in one call.
constexpr double kBatchesPerSecond = 1000;  ///< At high rates, batches are spaced this often.
constexpr double kUnpacedStep = 0.001;      ///< Packet time step when sending unpaced.
constexpr double kMetresPerDegree = 111320.0;
constexpr long kNanosPerSecond = 1000000000L;
constexpr unsigned kNoBufferPauseNs = 200000;  ///< Wait when the socket's send queue is full.

volatile sig_atomic_t gStop = 0;

void onTerminate(int) {
  gStop = 1;
}

enum class Motion { kCircle, kLine };

struct Options {
  std::string group = "239.255.0.1";
  long port = 5000;
  std::vector<int> ids{1};
  long long count = 0;
  double rate = 10;
  Motion motion = Motion::kCircle;
  double lat = 32.7;
  double lon = -117.16;
  double radius = 200;
  double speed = 10;
  double heading = 90;
  int64_t startMs = -1;  ///< -1: now
  double step = -1;      ///< -1: from ids and rate
  std::string comment1 = "pktsend";
  std::string comment2;
  bool quiet = false;
};

// Samples: "2026-12-07T12:35:19.5", "1796647519.5"
bool parseStart(const char* text, int64_t& ms) {
  double seconds = 0;
  if (parseDouble(text, seconds)) {
    if (seconds < 0 || seconds > 253402300799.0) return false;
    ms = static_cast<int64_t>(std::llround(seconds * 1000));
    return true;
  }
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, consumed = 0;
  double second = 0;
  if (std::sscanf(text, "%4d-%2d-%2dT%2d:%2d:%lf%n", &year, &month, &day, &hour, &minute, &second,
                  &consumed) != 6 ||
      text[consumed] != '\0' || year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 ||
      hour > 23 || minute > 59 || second < 0 || second >= 60) {
    return false;
  }
  struct tm fields = {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  const time_t whole = timegm(&fields);
  if (whole == static_cast<time_t>(-1)) return false;
  ms = static_cast<int64_t>(whole) * 1000 + std::llround(second * 1000);
  return true;
}

/// A comment ends at the next comma of the packet, and the tracker keeps 127 characters.
bool usableComment(const std::string& text) {
  return text.find(',') == std::string::npos && text.size() <= kMaxCommentLength;
}

/// Reads the command line; returns 0 to go on, or the exit status (help and version: 0 after
/// printing them, with `done` set).
int parseOptions(int argc, char** argv, Options& o, bool& done) {
  done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      done = true;
      return 0;
    }
    if (arg == "--version") {
      printVersion(stdout, "pktsend");
      done = true;
      return 0;
    }
    if (arg == "--quiet") {
      o.quiet = true;
      continue;
    }
    const bool known = arg == "--group" || arg == "--port" || arg == "--ids" || arg == "--count" ||
                       arg == "--rate" || arg == "--motion" || arg == "--lat" || arg == "--lon" ||
                       arg == "--radius" || arg == "--speed" || arg == "--heading" ||
                       arg == "--start" || arg == "--step" || arg == "--comment1" ||
                       arg == "--comment2";
    if (!known) {
      std::fprintf(stderr, "pktsend: unknown option %s (see --help)\n", arg.c_str());
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "pktsend: %s needs a value (see --help)\n", arg.c_str());
      return 2;
    }
    const char* value = argv[++i];
    long long n = 0;
    bool ok = true;
    if (arg == "--group") {
      in_addr address{};
      ok = inet_pton(AF_INET, value, &address) == 1 && IN_MULTICAST(ntohl(address.s_addr));
      o.group = value;
    } else if (arg == "--port") {
      ok = parseLong(value, 1, 65535, n);
      o.port = static_cast<long>(n);
    } else if (arg == "--ids") {
      ok = parseIds(value, kMaxNodeId, o.ids);
    } else if (arg == "--count") {
      ok = parseLong(value, 0, INT64_MAX, n);
      o.count = n;
    } else if (arg == "--rate") {
      ok = parseDouble(value, o.rate) && o.rate >= 0;
    } else if (arg == "--motion") {
      ok = std::strcmp(value, "circle") == 0 || std::strcmp(value, "line") == 0;
      o.motion = std::strcmp(value, "line") == 0 ? Motion::kLine : Motion::kCircle;
    } else if (arg == "--lat") {
      ok = parseDouble(value, o.lat) && std::fabs(o.lat) <= 90;
    } else if (arg == "--lon") {
      ok = parseDouble(value, o.lon) && std::fabs(o.lon) <= 180;
    } else if (arg == "--radius") {
      ok = parseDouble(value, o.radius) && o.radius >= 0;
    } else if (arg == "--speed") {
      ok = parseDouble(value, o.speed);
    } else if (arg == "--heading") {
      ok = parseDouble(value, o.heading);
    } else if (arg == "--start") {
      ok = parseStart(value, o.startMs);
    } else if (arg == "--step") {
      ok = parseDouble(value, o.step) && o.step >= 0;
    } else if (arg == "--comment1") {
      o.comment1 = value;
      ok = usableComment(o.comment1);
    } else {  // --comment2
      o.comment2 = value;
      ok = usableComment(o.comment2);
    }
    if (!ok) {
      std::fprintf(stderr, "pktsend: bad value for %s: %s (see --help)\n", arg.c_str(), value);
      return 2;
    }
  }
  return 0;
}

double secondsOf(const timespec& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

timespec monotonicNow() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t;
}

/// `base` plus `seconds`.
timespec later(const timespec& base, double seconds) {
  const double whole = std::floor(seconds);
  timespec t = base;
  t.tv_sec += static_cast<time_t>(whole);
  t.tv_nsec += static_cast<long>((seconds - whole) * kNanosPerSecond);
  if (t.tv_nsec >= kNanosPerSecond) {
    t.tv_nsec -= kNanosPerSecond;
    ++t.tv_sec;
  }
  return t;
}

/// Sleeps until `due` on the monotonic clock; false when a termination signal came first.
bool sleepUntil(const timespec& due) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    if (gStop) return false;
  }
  return !gStop;
}

/// Position of vehicle `index` of `count` after `t` seconds of packet time.
void positionAt(const Options& o, int index, int count, double t, double& lat, double& lon) {
  double north = 0, east = 0;
  if (o.motion == Motion::kCircle) {
    const double radius = std::max(o.radius, 1.0);
    const double angle = 2 * kPi * index / count + o.speed * t / radius;
    north = o.radius * std::cos(angle);
    east = o.radius * std::sin(angle);
  } else {
    const double heading = o.heading * kPi / 180;
    const double across = (index - (count - 1) / 2.0) * o.radius;
    const double along = o.speed * t;
    north = along * std::cos(heading) - across * std::sin(heading);
    east = along * std::sin(heading) + across * std::cos(heading);
  }
  lat = std::clamp(o.lat + north / kMetresPerDegree, -90.0, 90.0);
  const double cosLat = std::max(std::cos(lat * kPi / 180), 1e-6);
  lon = std::remainder(o.lon + east / (kMetresPerDegree * cosLat), 360.0);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  bool done = false;
  if (const int status = parseOptions(argc, argv, o, done); status != 0 || done) return status;
  if (o.comment2.empty()) o.comment2 = o.motion == Motion::kCircle ? "circle" : "line";
  if (o.startMs < 0) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    o.startMs = static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  }
  const int vehicles = static_cast<int>(o.ids.size());
  if (o.step < 0) o.step = o.rate > 0 ? vehicles / o.rate : kUnpacedStep;

  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    std::perror("pktsend: socket");
    return 1;
  }
  // TTL 0 keeps every packet on this host; the loopback copy reaches local receivers.
  const unsigned char ttl = 0;
  const unsigned char loop = 1;
  if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
      setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
    std::perror("pktsend: setsockopt");
    close(fd);
    return 1;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(o.port));
  inet_pton(AF_INET, o.group.c_str(), &to.sin_addr);

  struct sigaction action = {};
  action.sa_handler = onTerminate;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const int batch = o.rate > 0 ? static_cast<int>(std::clamp(o.rate / kBatchesPerSecond, 1.0,
                                                             static_cast<double>(kMaxBatch)))
                               : kMaxBatch;
  static char packets[kMaxBatch][kMaxBuiltPacketBytes];
  mmsghdr messages[kMaxBatch] = {};
  iovec pieces[kMaxBatch] = {};

  const timespec begin = monotonicNow();
  long long sent = 0;
  int status = 0;
  while (!gStop && (o.count == 0 || sent < o.count)) {
    const int n =
        static_cast<int>(o.count == 0 ? batch : std::min<long long>(batch, o.count - sent));
    if (o.rate > 0 && !sleepUntil(later(begin, static_cast<double>(sent) / o.rate))) break;
    for (int k = 0; k < n; ++k) {
      const long long index = sent + k;
      const int vehicle = static_cast<int>(index % vehicles);
      const double t = static_cast<double>(index / vehicles) * o.step;
      PacketFix fix;
      fix.id = o.ids[vehicle];
      fix.comment1 = o.comment1.c_str();
      fix.comment2 = o.comment2.c_str();
      positionAt(o, vehicle, vehicles, t, fix.latitude, fix.longitude);
      fix.utcMilliseconds = o.startMs + static_cast<int64_t>(std::llround(t * 1000));
      const int length = buildPositionPacket(fix, packets[k], kMaxBuiltPacketBytes);
      if (length < 0) {
        std::fprintf(stderr,
                     "pktsend: packet %lld cannot be built (its time is past the year 9999)\n",
                     index);
        close(fd);
        return 1;
      }
      pieces[k].iov_base = packets[k];
      pieces[k].iov_len = static_cast<size_t>(length);
      messages[k].msg_hdr.msg_name = &to;
      messages[k].msg_hdr.msg_namelen = sizeof to;
      messages[k].msg_hdr.msg_iov = &pieces[k];
      messages[k].msg_hdr.msg_iovlen = 1;
    }
    int done = 0;
    while (done < n && !gStop) {
      const int result = sendmmsg(fd, messages + done, static_cast<unsigned>(n - done), 0);
      if (result > 0) {
        done += result;
      } else if (errno == ENOBUFS || errno == EAGAIN) {
        const timespec pause{0, kNoBufferPauseNs};
        nanosleep(&pause, nullptr);
      } else if (errno != EINTR) {
        std::perror("pktsend: send");
        status = 1;
        break;
      }
    }
    sent += done;
    if (status != 0) break;
  }
  const double elapsed = secondsOf(monotonicNow()) - secondsOf(begin);
  close(fd);
  if (!o.quiet) {
    std::printf("pktsend: %lld packets sent in %.3f s (%.0f per second)\n", sent, elapsed,
                elapsed > 0 ? static_cast<double>(sent) / elapsed : 0.0);
  }
  return status;
}
