// A UDP socket bound to 127.0.0.1 that plays the unit's end against the real program. It
// sends only to 127.0.0.0/8, whatever address it is handed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class LoopbackSocket {
 public:
  struct Received {
    std::string bytes;
    sockaddr_in from{};
    std::chrono::steady_clock::time_point at;
  };

  LoopbackSocket() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof local;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) != 0)
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
    socklen_t size = sizeof r.from;
    const ssize_t n = ::recvfrom(fd_, r.bytes.data(), r.bytes.size(), 0, reinterpret_cast<sockaddr*>(&r.from), &size);
    if (n < 0) return std::nullopt;
    r.bytes.resize(static_cast<std::size_t>(n));
    r.at = std::chrono::steady_clock::now();
    return r;
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};
