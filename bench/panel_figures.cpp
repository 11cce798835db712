// panel_figures: the running panel beside the bare comparison program (bare_panel), both
// offscreen and measured in one run from the unit's side: this tool plays the unit for each
// on a socket of its own on 127.0.0.1, sends reports, timestamps polls and acknowledgements,
// and reads /proc for CPU time and resident memory. Every figure is printed with its ratio
// to the bare program and the command that gave it. Last, the panel alone is flooded with
// reports and sent one more after the flood: whether it gets in, when it is shown, and when
// the panel shows the unit's state again if it is lost.
//
// Usage: panel_figures --panel FILE --alarm-wav FILE --bare FILE [--quick] [--floods]
//   --quick   one minute at 20 reports a second instead of ten, a shorter idle spell, one flood
//   --floods  the floods alone (no --bare needed)
#include "config/DataFile.h"
#include "config/UnitConfiguration.h"
#include "support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view Poll = "KELDRON,U****************";
constexpr std::string_view Ack = "KELDRON,C,S,****************";

std::string command;  // this run's command line, printed behind every figure

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "panel_figures: %s\n", why.c_str());
  std::exit(1);
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// The unit's end: a socket on 127.0.0.1 that answers the panel that polled it last.
class UnitSocket {
 public:
  UnitSocket() {
    if (socket_.port() == 0) Fail("cannot bind a socket on 127.0.0.1");
  }

  int fd() const { return socket_.fd(); }
  std::uint16_t port() const { return socket_.port(); }

  void Send(std::string_view bytes) const {
    if (peer_) socket_.SendTo(*peer_, bytes);
  }
  // The port the panel polled from, its one socket; 0 before the first poll.
  std::uint16_t peerPort() const { return peer_ ? ntohs(peer_->sin_port) : 0; }
  // One waiting datagram, without waiting; a poll from a loopback address becomes the peer.
  std::optional<std::string> Take() {
    auto received = socket_.Receive(std::chrono::milliseconds(0));
    if (!received) return std::nullopt;
    if (received->bytes == Poll && LoopbackSocket::IsLoopback(received->from)) peer_ = received->from;
    return std::move(received->bytes);
  }
  void Forget() {
    while (Take()) {
    }
    peer_.reset();
  }

 private:
  LoopbackSocket socket_;
  std::optional<sockaddr_in> peer_;
};

// Waits for datagrams on any of the sockets until `until`; calls on(index, bytes) for each.
template <typename On>
void Pump(std::vector<UnitSocket*> sockets, Clock::time_point until, On on) {
  for (;;) {
    std::vector<pollfd> fds;
    fds.reserve(sockets.size());
    for (UnitSocket* s : sockets) fds.push_back({s->fd(), POLLIN, 0});
    const auto left = std::max<std::int64_t>(std::chrono::nanoseconds(until - Clock::now()).count(), 0);
    const timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    if (::ppoll(fds.data(), fds.size(), &wait, nullptr) <= 0) return;
    for (std::size_t i = 0; i < sockets.size(); ++i)
      while (auto bytes = sockets[i]->Take()) on(i, *bytes);
    if (Clock::now() >= until) return;
  }
}

// A program under test: the panel with its data file and -c, or the bare program with the port.
struct Program {
  Program(std::string name, fs::path folder) : name(std::move(name)), folder(std::move(folder)) {}

  std::string name;
  fs::path folder;
  std::vector<std::string> argv;
  pid_t pid = -1;
  UnitSocket unit;

  void Start() {
    unit.Forget();
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid = ::fork();
    if (pid != 0) return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0) ::_exit(127);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  void Stop() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(name + " did not end cleanly");
    pid = -1;
  }
  // Seconds from now until its first poll arrives.
  double AwaitPoll() {
    const auto start = Clock::now();
    std::optional<Clock::time_point> at;
    while (!at && Clock::now() < start + std::chrono::seconds(60))
      Pump({&unit}, Clock::now() + milliseconds(20), [&](std::size_t, const std::string& bytes) {
        if (!at && bytes == Poll) at = Clock::now();
      });
    if (!at) Fail(name + " sent no poll within 60 s");
    return Seconds(*at - start);
  }
};

// CPU time of every thread of the process, in seconds: the scheduler's own nanosecond sums
// where the kernel shows them, else user plus system time in clock ticks.
double CpuSeconds(pid_t pid) {
  const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  bool found = false;
  std::error_code ignored;
  for (const auto& task : fs::directory_iterator(tasks, ignored)) {
    std::ifstream sched(task.path() / "sched");
    for (std::string line; std::getline(sched, line);)
      if (line.starts_with("se.sum_exec_runtime")) {
        total += std::stod(line.substr(line.find(':') + 1)) / 1000.0;
        found = true;
      }
  }
  if (found) return total;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long ResidentKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
  Fail("no VmRSS for process " + std::to_string(pid));
}

std::string Format(const char* format, auto... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// Resident memory by what is mapped (a library, the heap, anonymous memory), in kB.
std::map<std::string, long> ResidentByMapping(pid_t pid) {
  std::map<std::string, long> kb;
  std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
  std::string name;
  for (std::string line; std::getline(smaps, line);) {
    if (line.starts_with("Rss:")) {
      kb[name] += std::stol(line.substr(4));
    } else if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 16) {
      std::istringstream fields(line);
      std::string range, perms, offset, device, inode;
      fields >> range >> perms >> offset >> device >> inode >> std::ws;
      std::getline(fields, name);
      if (name.empty()) name = "anonymous";
      name = name.substr(name.rfind('/') + 1);
    }
  }
  return kb;
}

double Megabytes(long kb) { return static_cast<double>(kb) / 1024.0; }

// The mappings that hold the panel's extra resident memory, largest first.
std::string ExtraResident(pid_t panel, pid_t bare, std::size_t shown) {
  std::map<std::string, long> difference = ResidentByMapping(panel);
  for (const auto& [name, kb] : ResidentByMapping(bare)) difference[name] -= kb;
  std::vector<std::pair<long, std::string>> sorted;
  long total = 0;
  for (const auto& [name, kb] : difference) {
    sorted.emplace_back(kb, name);
    total += kb;
  }
  std::sort(sorted.rbegin(), sorted.rend());
  std::string text = Format("%.1f MB in all", Megabytes(total));
  for (std::size_t i = 0; i < std::min(shown, sorted.size()); ++i)
    text += Format("; %s %+.1f MB", sorted[i].second.c_str(), Megabytes(sorted[i].first));
  return text;
}

// Report number k: with `change`, every output and analogue reading differs from report k-1.
std::string Report(int k, bool change) {
  if (!change) k = 0;
  std::string text = "KELDRON,U,0000000000000000,";
  text += std::string(16, k % 2 ? '1' : '0');
  for (int i = 0; i < 8; ++i) (text += ',') += std::to_string((k * 37 + i * 101) % 1000 + 10);
  return text;
}

// The value below which the share p of the values lie (nearest rank).
double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Line(const std::string& text) {
  std::printf("%s   # %s\n", text.c_str(), command.c_str());
  std::fflush(stdout);
}

std::string Verdict(bool met) { return met ? "met" : "MISSED"; }

// A ratio line: the panel's figure, the bare program's, their ratio and the aim, if any.
void RatioLine(const char* what, const char* unit, double panel, double bare, double aim = 0) {
  const double ratio = panel / bare;
  std::string text = Format("%s: panel %.3f %s, bare %.3f %s, ratio %.2f", what, panel, unit, bare, unit, ratio);
  if (aim > 0) text += Format(" (aim <= %.2f: %s)", aim, Verdict(ratio <= aim).c_str());
  Line(text);
}

// Each program gets a report and answers it; fails otherwise.
void BringUp(const std::vector<Program*>& programs) {
  for (Program* p : programs) p->unit.Send(Report(0, false));
  std::vector<UnitSocket*> sockets;
  sockets.reserve(programs.size());
  for (Program* p : programs) sockets.push_back(&p->unit);
  std::vector<bool> acked(programs.size());
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (std::find(acked.begin(), acked.end(), false) != acked.end() && Clock::now() < deadline)
    Pump(sockets, Clock::now() + milliseconds(50),
         [&](std::size_t i, const std::string& bytes) { acked[i] = acked[i] || bytes == Ack; });
  for (std::size_t i = 0; i < programs.size(); ++i)
    if (!acked[i]) Fail(programs[i]->name + " did not acknowledge a report");
}

// Sends reports at `perSecond` to both for `duration`; returns each program's CPU share (%)
// over the spell and its acknowledgement delays (ms, matched in order).
struct Spell {
  double cpu[2];
  std::vector<double> delays[2];
};
Spell ReportAtRate(Program& a, Program& b, double perSecond, Clock::duration duration, bool change) {
  Program* programs[2] = {&a, &b};
  std::deque<Clock::time_point> pending[2];
  Spell spell;
  const double cpu0[2] = {CpuSeconds(a.pid), CpuSeconds(b.pid)};
  const auto start = Clock::now();
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / perSecond));
  const auto onAnswer = [&](std::size_t i, const std::string& bytes) {
    if (bytes != Ack || pending[i].empty()) return;
    spell.delays[i].push_back(Millis(Clock::now() - pending[i].front()));
    pending[i].pop_front();
  };
  int k = 0;
  for (auto next = start; next < start + duration; next += period) {
    Pump({&a.unit, &b.unit}, next, onAnswer);
    ++k;
    for (int i = 0; i < 2; ++i) {
      pending[i].push_back(Clock::now());
      programs[i]->unit.Send(Report(k, change));
    }
  }
  const auto end = Clock::now();
  for (int i = 0; i < 2; ++i) spell.cpu[i] = 100.0 * (CpuSeconds(programs[i]->pid) - cpu0[i]) / Seconds(end - start);
  // The last reports' acknowledgements, outside the timed spell.
  Pump({&a.unit, &b.unit}, end + milliseconds(200), onAnswer);
  return spell;
}

// Reports one at a time, each after the previous one's acknowledgement and a random pause of
// up to one tick, so they land at every phase of the programs' ticks. Delays in ms.
std::vector<double> AckDelays(Program& a, Program& b, int count, std::vector<double>& other) {
  Program* programs[2] = {&a, &b};
  std::vector<double> delays[2];
  std::optional<Clock::time_point> sent[2];
  Clock::time_point next[2] = {Clock::now(), Clock::now()};
  std::mt19937 random(1);
  std::uniform_int_distribution<int> pause(0, 50000);
  int k = 0;
  // cppcheck-suppress uninitvar ; an array of vectors: both are constructed, empty
  while (delays[0].size() < static_cast<std::size_t>(count) || delays[1].size() < static_cast<std::size_t>(count)) {
    const auto now = Clock::now();
    for (int i = 0; i < 2; ++i) {
      if (sent[i] && now - *sent[i] > std::chrono::seconds(5)) Fail(programs[i]->name + " lost an acknowledgement");
      if (!sent[i] && now >= next[i] && delays[i].size() < static_cast<std::size_t>(count)) {
        sent[i] = Clock::now();
        programs[i]->unit.Send(Report(++k, true));
      }
    }
    auto wake = now + milliseconds(100);  // an acknowledgement wakes it sooner
    for (int i = 0; i < 2; ++i)
      if (!sent[i] && delays[i].size() < static_cast<std::size_t>(count)) wake = std::min(wake, next[i]);
    Pump({&a.unit, &b.unit}, wake, [&](std::size_t i, const std::string& bytes) {
      if (bytes != Ack || !sent[i]) return;
      delays[i].push_back(Millis(Clock::now() - *sent[i]));
      sent[i].reset();
      next[i] = Clock::now() + std::chrono::microseconds(pause(random));
    });
  }
  other = delays[1];
  return delays[0];
}

// A UDP socket on 127.0.0.1 as the kernel counts it (/proc/net/udp): the bytes of the
// datagrams waiting in it and the datagrams it has refused since it was made.
struct SocketCounts {
  long queued = 0;
  long drops = 0;
};
SocketCounts CountsOf(std::uint16_t port) {
  std::ifstream table("/proc/net/udp");
  std::string line;
  std::getline(table, line);  // the heading
  const std::string local = Format("0100007F:%04X", port);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, address, remote, state, queues, field;
    fields >> slot >> address >> remote >> state >> queues;
    if (address != local) continue;
    SocketCounts counts;
    counts.queued = std::stol(queues.substr(queues.find(':') + 1), nullptr, 16);
    while (fields >> field) counts.drops = std::stol(field);  // the last column
    return counts;
  }
  Fail("no socket on 127.0.0.1:" + std::to_string(port) + " in /proc/net/udp");
}

// What the kernel charges a socket's receive buffer (its admission test is on this sum, not
// on the bytes queued) and the buffer's size, from `ss -m`; empty where ss is missing.
std::string Charged(std::uint16_t port) {
  const std::string run = Format("ss -H -u -a -m -n 'sport = :%u' 2>/dev/null", port);
  FILE* pipe = ::popen(run.c_str(), "r");
  if (!pipe) return {};
  std::string text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
  ::pclose(pipe);
  const std::size_t r = text.find("skmem:(r"), rb = text.find(",rb");
  if (r == std::string::npos || rb == std::string::npos) return {};
  const std::size_t end = text.find(',', rb + 3);
  return text.substr(r + 8, rb - r - 8) + " of " + text.substr(rb + 3, end - rb - 3) + " bytes";
}

// A report from the unit; the marker raises input 16, which no report before it does.
std::string UnitReport(int k, bool marker) {
  std::string text = Report(k, true);
  if (marker) text[25] = '1';
  return text;
}

// What the kernel charges for one report in a socket's receive buffer (its truesize, far more
// than the report's bytes), and how many fit a socket of the default size: a socket of this
// tool's own, flooded and not read. Returns the charge.
long ReportCost() {
  const std::string report = UnitReport(1, false);
  LoopbackSocket receiver, sender;
  if (receiver.port() == 0 || sender.port() == 0) Fail("cannot bind a socket on 127.0.0.1");
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(receiver.port());
  sender.SendTo(to, report);
  const long one = CountsOf(receiver.port()).queued;
  constexpr int Sent = 5000;
  for (int k = 1; k < Sent; ++k) sender.SendTo(to, report);
  const SocketCounts full = CountsOf(receiver.port());
  int size = 0;
  socklen_t length = sizeof size;
  ::getsockopt(receiver.fd(), SOL_SOCKET, SO_RCVBUF, &size, &length);
  const long taken = Sent - full.drops;
  Line(
      Format("a report of %zu bytes is charged %ld bytes of a socket's receive buffer; a socket of the default "
             "%d bytes takes %ld of %d sent at once (%.1f s of reading at one a tick) and drops the rest",
             report.size(), one, size, taken, Sent, static_cast<double>(taken) * 0.05));
  return one;
}

// The unit's side of one flood run against a freshly started panel. The unit answers every
// poll with its current state, and with `ownReports` also reports by itself every 5 s, as the
// simulated unit does. Every report asks for an acknowledgement and the panel handles its
// queue in order, so with the socket's drop counter read around each datagram that matters,
// the n-th acknowledgement is known to answer the n-th report let in.
class FloodRun {
 public:
  struct Sent {
    const char* what;
    Clock::time_point at;
    long index;    // its place among the datagrams let in, from 1; 0 when refused
    bool current;  // it carries the marker's state
    std::optional<Clock::time_point> shown;
  };

  FloodRun(Program& p, bool ownReports) : p_(p), ownReports_(ownReports) {
    std::error_code ignored;
    fs::remove_all(p.folder / "Logs", ignored);
    p.Start();
    p.AwaitPoll();
    BringUp({&p});
    Pump({&p.unit}, Clock::now() + milliseconds(300), [](std::size_t, const std::string&) {});
    port_ = p.unit.peerPort();
    drops0_ = CountsOf(port_).drops;
    nextOwn_ = Clock::now() + std::chrono::seconds(5);
  }

  std::uint16_t port() const { return port_; }
  long letIn() const { return sent_ - (CountsOf(port_).drops - drops0_); }

  // Reports at full speed for `length`; returns how many were sent.
  long Flood(Clock::duration length) {
    long flooded = 0;
    for (const auto start = Clock::now(); Clock::now() < start + length; flooded += 200) {
      for (int i = 0; i < 200; ++i) p_.unit.Send(UnitReport(++k_, false));
      sent_ += 200;
      Pump({&p_.unit}, Clock::now(), [this](std::size_t, const std::string& bytes) { On(bytes); });
      OwnReport();
    }
    return flooded;
  }
  // Plays the unit until `until`, or until `done()` holds.
  template <typename Done>
  void Until(Clock::time_point until, Done done) {
    while (Clock::now() < until && !done()) {
      Pump({&p_.unit}, std::min(until, Clock::now() + milliseconds(20)),
           [this](std::size_t, const std::string& bytes) { On(bytes); });
      OwnReport();
    }
  }
  // From now on the unit's state is the marker's (input 16 raised); sends it at once.
  std::size_t Mark() {
    marked_ = true;
    Send("the marker");
    return watched_.size() - 1;
  }
  const std::vector<Sent>& watched() const { return watched_; }
  // When the n-th report let in was acknowledged.
  std::optional<Clock::time_point> AckOf(long index) const {
    return index > 0 && index <= static_cast<long>(acks_.size()) ? std::optional(acks_[index - 1]) : std::nullopt;
  }
  bool Drained() const { return static_cast<long>(acks_.size()) == letIn(); }
  // How often the panel logged the link lost, after it has been stopped.
  int CommsLost() const {
    int lost = 0;
    std::error_code ignored;
    for (const auto& day : fs::directory_iterator(p_.folder / "Logs", ignored)) {
      std::ifstream log(day.path());
      for (std::string line; std::getline(log, line);) lost += line.ends_with(",Comms Lost\r");
    }
    return lost;
  }

 private:
  void Send(const char* what) {
    const long before = letIn();
    p_.unit.Send(UnitReport(++k_, marked_));
    const auto at = Clock::now();
    ++sent_;
    // A loopback datagram is queued or dropped before the send returns; the pause makes sure.
    std::this_thread::sleep_for(milliseconds(2));
    const long after = letIn();
    watched_.push_back({what, at, after > before ? after : 0, marked_, std::nullopt});
  }
  void On(const std::string& bytes) {
    if (bytes == Poll) {
      Send("the answer to a poll");
    } else if (bytes == Ack) {
      acks_.push_back(Clock::now());
      for (Sent& w : watched_)
        if (w.index == static_cast<long>(acks_.size())) w.shown = acks_.back();
    }
  }
  void OwnReport() {
    if (!ownReports_ || Clock::now() < nextOwn_) return;
    nextOwn_ += std::chrono::seconds(5);
    Send("its own report");
  }

  Program& p_;
  bool ownReports_;
  std::uint16_t port_ = 0;
  long drops0_ = 0;
  long sent_ = 0;
  int k_ = 0;
  bool marked_ = false;
  Clock::time_point nextOwn_;
  std::vector<Sent> watched_;
  std::vector<Clock::time_point> acks_;
};

// A flood of `flood`, then one marker report (input 16 raised) `markerAfter` after its end:
// whether the marker got in, when the panel next showed the unit's state, and by which report.
void AfterFlood(Program& p, long cost, std::chrono::seconds flood, milliseconds markerAfter, bool ownReports) {
  FloodRun run(p, ownReports);
  const long flooded = run.Flood(flood);
  const auto floodEnd = Clock::now();
  const long floodLetIn = run.letIn();
  run.Until(floodEnd + markerAfter, [] { return false; });
  const SocketCounts before = CountsOf(run.port());
  const std::string charged = Charged(run.port());
  const std::size_t markerAt = run.Mark();
  const auto isCurrent = [](const FloodRun::Sent& w) { return w.current && w.shown; };
  run.Until(run.watched()[markerAt].at + std::chrono::seconds(60), [&] {
    return std::any_of(run.watched().begin(), run.watched().end(), isCurrent) && run.Drained() &&
           Clock::now() > floodEnd + std::chrono::seconds(15);
  });
  p.Stop();

  const auto& watched = run.watched();
  const auto first = std::find_if(watched.begin(), watched.end(), isCurrent);
  std::string text = Format("flood of %lld s (%ld reports sent, %ld let in), then one report %.1f s after it: ",
                            static_cast<long long>(flood.count()), flooded, floodLetIn,
                            std::chrono::duration<double>(markerAfter).count());
  if (watched[markerAt].index != 0)
    text += Format("let in behind %ld queued reports; ", before.queued / cost);
  else
    text += "lost (the socket charged " + (charged.empty() ? std::string("?") : charged) +
            Format(" with %ld reports queued); ", before.queued / cost);
  if (first == watched.end()) {
    text += "the unit's state was not shown within 60 s";
  } else {
    const FloodRun::Sent& current = *first;
    text += Format(
        "the panel showed the unit's state %.2f s after the flood ended, by %s sent at %+.2f s (%.2f s after it "
        "was sent)",
        Seconds(*current.shown - floodEnd), current.what, Seconds(current.at - floodEnd),
        Seconds(*current.shown - current.at));
  }
  // The last report of the flood let in: the link's time-out counts from when it was shown.
  if (const auto last = run.AckOf(floodLetIn))
    text += Format("; the flood's last report shown at %+.2f s", Seconds(*last - floodEnd));
  std::string after;
  for (const auto& w : watched)
    if (w.at > floodEnd && &w != &watched[markerAt])
      after += Format("%s%+.1f s%s", after.empty() ? "" : ", ", Seconds(w.at - floodEnd), w.index ? "" : " (lost)");
  text += "; " + std::string(ownReports ? "reports and answers" : "poll answers") + " after the flood at " +
          (after.empty() ? std::string("none") : after);
  const int lost = run.CommsLost();
  text += Format("; Comms Lost logged %d time%s", lost, lost == 1 ? "" : "s");
  Line(text + (ownReports ? " (the unit also reporting by itself every 5 s)" : ""));
}

// Whether a report sent `markerAfter` after a flood gets in depends on where the kernel's
// crediting stands when the flood ends; floods of lengths spread over one credit cycle (64
// reads, 3.2 s) show how often it does.
void MarkerOdds(Program& p, milliseconds markerAfter, int runs) {
  int letIn = 0;
  for (int i = 0; i < runs; ++i) {
    FloodRun run(p, false);
    run.Flood(milliseconds(4000 + 3200 * i / runs));
    run.Until(Clock::now() + markerAfter, [] { return false; });
    letIn += run.watched()[run.Mark()].index != 0;
    p.Stop();
  }
  Line(Format("one report sent %.1f s after a flood (of 4 to 7.2 s, %d floods): let in after %d, lost after %d",
              std::chrono::duration<double>(markerAfter).count(), runs, letIn, runs - letIn));
}

fs::path MakeFolder() {
  fs::path folder = fs::temp_directory_path() / ("qmx-figures-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// The panel's data file: defaults with the unit at 127.0.0.1:port, read back and checked
// before the panel is ever given -c.
std::string WriteUnitFile(const fs::path& folder, std::uint16_t port) {
  UnitConfiguration config{};
  SetDefaults(config);
  WriteText(config.IPAddress, "127.0.0.1");
  config.Port = port;
  std::string path = (folder / "unit.dat").string();
  if (!WriteDataFile(path, config).ok) Fail("cannot write " + path);
  UnitConfiguration check{};
  if (ReadDataFile(path, check) != LoadOutcome::Loaded || ReadText(check.IPAddress) != "127.0.0.1" ||
      check.Port != port)
    Fail(path + " does not hold 127.0.0.1");
  return path;
}

// The floods, last: they leave the machine busy for a while. Returns main's exit status.
int Floods(Program& panel, bool quick, const fs::path& folder) {
  std::fprintf(stderr, "floods...\n");
  const long cost = ReportCost();
  using std::chrono::seconds;
  AfterFlood(panel, cost, seconds(5), milliseconds(1000), false);
  if (!quick) {
    AfterFlood(panel, cost, seconds(20), milliseconds(0), false);
    AfterFlood(panel, cost, seconds(20), milliseconds(1000), false);
    AfterFlood(panel, cost, seconds(20), milliseconds(10000), false);
    AfterFlood(panel, cost, seconds(60), milliseconds(1000), false);
    AfterFlood(panel, cost, seconds(20), milliseconds(1000), true);
    MarkerOdds(panel, milliseconds(1000), 16);
  }
  Line("load average at end: " + LoadAverage());
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string panelFile, wavFile, bareFile;
  bool quick = false, floodsOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    command += (i > 1 ? " " : "") + a;
    if (a == "--quick") {
      quick = true;
    } else if (a == "--floods") {
      floodsOnly = true;
    } else if (i + 1 < argc && (a == "--panel" || a == "--alarm-wav" || a == "--bare")) {
      (a == "--panel" ? panelFile : a == "--bare" ? bareFile : wavFile) = argv[++i];
      command += std::string(" ") + argv[i];
    } else {
      Fail("usage: panel_figures --panel FILE --alarm-wav FILE --bare FILE [--quick] [--floods]");
    }
  }
  command = std::string(argv[0]) + " " + command;
  if (panelFile.empty() || wavFile.empty() || (bareFile.empty() && !floodsOnly))
    Fail("--panel, --alarm-wav and --bare are needed");

  const fs::path folder = MakeFolder();
  fs::create_directories(folder / "panel");
  fs::create_directories(folder / "bare");
  fs::copy_file(panelFile, folder / "panel" / "quellmarinox-simple-panel");
  fs::copy_file(wavFile, folder / "panel" / "Alarm.wav");
  if (!floodsOnly) fs::copy_file(bareFile, folder / "bare" / "bare_panel");
  Program panel("panel", folder / "panel");
  Program bare("bare program", folder / "bare");
  panel.argv = {(panel.folder / "quellmarinox-simple-panel").string(),
                "-F" + WriteUnitFile(panel.folder, panel.unit.port()), "-c"};
  bare.argv = {(bare.folder / "bare_panel").string(), std::to_string(bare.unit.port())};
  Line("load average at start: " + LoadAverage() + Format(" (%u cores)", std::thread::hardware_concurrency()));
  if (floodsOnly) return Floods(panel, quick, folder);

  // Start-up: alternating starts, each from exec to the first poll; the first pair warms up.
  std::vector<double> starts[2];
  constexpr int Pairs = 9;
  for (int round = 0; round <= Pairs; ++round) {
    for (int j = 0; j < 2; ++j) {
      const int i = (round + j) % 2;  // who goes first alternates too
      Program& p = i == 0 ? panel : bare;
      p.Start();
      const double seconds = p.AwaitPoll();
      p.Stop();
      if (round > 0) starts[i].push_back(1000 * seconds);
    }
  }
  RatioLine(Format("time from exec to the first poll (median of %d alternating starts)", Pairs).c_str(), "ms",
            Median(starts[0]), Median(starts[1]), 1.1);

  // The long run: both at once, each with its own unit.
  panel.Start();
  bare.Start();
  panel.AwaitPoll();
  bare.AwaitPoll();
  BringUp({&panel, &bare});
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const long rssStart[2] = {ResidentKilobytes(panel.pid), ResidentKilobytes(bare.pid)};
  RatioLine("resident memory after start", "MB", Megabytes(rssStart[0]), Megabytes(rssStart[1]), 1.2);
  Line("resident memory after start, the panel's extra by mapping: " + ExtraResident(panel.pid, bare.pid, 8));

  const auto idle = std::chrono::seconds(quick ? 60 : 180);
  std::fprintf(stderr, "idle spell of %lld s, a report every 5 s...\n", static_cast<long long>(idle.count()));
  const Spell quiet = ReportAtRate(panel, bare, 0.2, idle, false);
  RatioLine(Format("CPU share idle, a report every 5 s, over %lld s", static_cast<long long>(idle.count())).c_str(),
            "%", quiet.cpu[0], quiet.cpu[1], 1.1);

  std::fprintf(stderr, "1000 reports one at a time...\n");
  std::vector<double> bareDelays;
  const std::vector<double> panelDelays = AckDelays(panel, bare, 1000, bareDelays);
  const double panelMax = *std::max_element(panelDelays.begin(), panelDelays.end());
  RatioLine("report to acknowledgement, median of 1000", "ms", Median(panelDelays), Median(bareDelays));
  const auto over = [](const std::vector<double>& delays) {
    return std::count_if(delays.begin(), delays.end(), [](double d) { return d > 52; });
  };
  Line(
      Format("report to acknowledgement, maximum of 1000: panel %.2f ms (aim <= 52 ms, one tick plus 2 ms: %s; "
             "99th percentile %.2f ms, %ld over 52 ms), bare %.2f ms (99th percentile %.2f ms, %ld over 52 ms)",
             panelMax, Verdict(panelMax <= 52).c_str(), Percentile(panelDelays, 0.99), over(panelDelays),
             *std::max_element(bareDelays.begin(), bareDelays.end()), Percentile(bareDelays, 0.99), over(bareDelays)));

  const auto busy = std::chrono::seconds(quick ? 60 : 600);
  std::fprintf(stderr, "%lld s at 20 reports a second...\n", static_cast<long long>(busy.count()));
  const Spell loaded = ReportAtRate(panel, bare, 20, busy, true);
  RatioLine("CPU share at 20 reports a second, each changing every output and analogue value", "%", loaded.cpu[0],
            loaded.cpu[1]);
  const long rssEnd[2] = {ResidentKilobytes(panel.pid), ResidentKilobytes(bare.pid)};
  RatioLine(Format("resident memory after %lld s at 20 reports a second", static_cast<long long>(busy.count())).c_str(),
            "MB", Megabytes(rssEnd[0]), Megabytes(rssEnd[1]), 1.2);
  Line(
      Format("acknowledgement delay at 20 reports a second: panel median %.1f ms, max %.1f ms, %zu of %lld answered; "
             "bare median %.1f ms, max %.1f ms",
             Median(loaded.delays[0]), *std::max_element(loaded.delays[0].begin(), loaded.delays[0].end()),
             loaded.delays[0].size(), static_cast<long long>(busy.count()) * 20, Median(loaded.delays[1]),
             *std::max_element(loaded.delays[1].begin(), loaded.delays[1].end())));

  panel.Stop();
  bare.Stop();

  return Floods(panel, quick, folder);
}
