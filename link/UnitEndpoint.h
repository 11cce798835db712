// The UDP endpoint that talks to the remote unit, as the panel's logic sees it. The real
// one is a QUdpSocket (UdpUnitEndpoint); tests use a fake that records and queues.
#pragma once

#include "config/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class UnitEndpoint {
 public:
  virtual ~UnitEndpoint() = default;
  // Remote host text and port for every later send; neither opens nor closes.
  virtual void SetRemote(std::string host, std::uint16_t port) = 0;
  // Binds an ephemeral local port; replies to our sends come back here.
  [[nodiscard]] virtual Result Open() = 0;
  virtual void Close() = 0;
  [[nodiscard]] virtual bool IsOpen() const = 0;
  // One datagram to the remote host and port; leaves from a temporary socket while closed.
  [[nodiscard]] virtual Result Send(std::string_view datagram) = 0;
  // One waiting datagram, without blocking; nullopt when none waits or the read failed.
  [[nodiscard]] virtual std::optional<std::string> Receive() = 0;
};
