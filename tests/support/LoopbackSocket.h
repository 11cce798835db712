// A UDP socket bound to 127.0.0.1 that plays the unit's end against the real program. It
// sends only to 127.0.0.0/8, whatever address it is handed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

class LoopbackSocket {
 public:
  struct Received {
    std::string bytes;
    sockaddr_in from{};
    // When the datagram reached the socket, from the kernel's time stamp: a test that reads
    // late on a loaded machine still sees when the program sent it.
    std::chrono::steady_clock::time_point at;
  };

  LoopbackSocket() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof local;
    const int on = 1;
    // Stamps in nanoseconds, else in microseconds where only those are had (user-mode
    // emulation, which runs the arm64 build's tests, passes on only the latter).
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
        (::setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0 &&
         ::setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on) != 0))
      return;
    port_ = ntohs(local.sin_port);
  }
  ~LoopbackSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  // 0 where the socket could not be bound.
  [[nodiscard]] std::uint16_t port() const { return port_; }
  [[nodiscard]] int fd() const { return fd_; }

  static bool IsLoopback(const sockaddr_in& address) { return (ntohl(address.sin_addr.s_addr) >> 24) == 127; }

  void SendTo(const sockaddr_in& to, std::string_view bytes) const {
    if (!IsLoopback(to)) return;  // never off this machine
    (void)::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }

  // The next datagram, waiting at most `wait` (zero: only one already there).
  [[nodiscard]] std::optional<Received> Receive(std::chrono::milliseconds wait) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) != 1) return std::nullopt;
    Received r;
    r.bytes.resize(65536);
    iovec data{r.bytes.data(), r.bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_name = &r.from;
    message.msg_namelen = sizeof r.from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd_, &message, 0);
    if (n < 0) return std::nullopt;
    r.bytes.resize(static_cast<std::size_t>(n));
    const auto now = std::chrono::steady_clock::now();
    r.at = now;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != SOL_SOCKET || (c->cmsg_type != SCM_TIMESTAMPNS && c->cmsg_type != SCM_TIMESTAMP)) continue;
      std::chrono::nanoseconds since{};
      if (c->cmsg_type == SCM_TIMESTAMPNS) {
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        since = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
      } else {
        timeval stamp{};
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        since = std::chrono::seconds(stamp.tv_sec) + std::chrono::microseconds(stamp.tv_usec);
      }
      const auto arrived =
          std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(since));
      const auto age = std::chrono::system_clock::now() - arrived;
      if (age > std::chrono::system_clock::duration::zero())
        r.at = now - std::chrono::duration_cast<std::chrono::steady_clock::duration>(age);
    }
    return r;
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};
