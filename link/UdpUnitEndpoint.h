// The real unit endpoint: a QUdpSocket bound to an ephemeral local port while the link is open.
#pragma once

#include "link/UnitEndpoint.h"

#include <cstdint>
#include <memory>

class QUdpSocket;

class UdpUnitEndpoint final : public UnitEndpoint {
 public:
  UdpUnitEndpoint();
  ~UdpUnitEndpoint() override;
  UdpUnitEndpoint(const UdpUnitEndpoint&) = delete;
  UdpUnitEndpoint& operator=(const UdpUnitEndpoint&) = delete;

  void SetRemote(std::string host, std::uint16_t port) override;
  [[nodiscard]] Result Open() override;
  void Close() override;
  [[nodiscard]] bool IsOpen() const override;
  [[nodiscard]] Result Send(std::string_view datagram) override;
  [[nodiscard]] std::optional<std::string> Receive() override;

 private:
  std::string host_;
  std::uint16_t port_ = 0;
  std::unique_ptr<QUdpSocket> socket_;
};
