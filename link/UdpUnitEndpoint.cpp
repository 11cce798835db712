#include "link/UdpUnitEndpoint.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace {
// Only numeric addresses: a host name would need a DNS look-up, which the panel never makes.
std::optional<QHostAddress> NumericAddress(const std::string& host) {
  QHostAddress address;
  if (!address.setAddress(QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size())))) return std::nullopt;
  return address;
}

// The local address to bind: loopback only for a loopback unit, so a unit on this machine
// never opens the panel to the network; otherwise any address of the remote's family.
QHostAddress LocalAddressFor(const std::string& host) {
  const std::optional<QHostAddress> remote = NumericAddress(host);
  if (remote && remote->protocol() == QAbstractSocket::IPv6Protocol)
    return QHostAddress(remote->isLoopback() ? QHostAddress::LocalHostIPv6 : QHostAddress::AnyIPv6);
  if (remote && remote->isLoopback()) return QHostAddress(QHostAddress::LocalHost);
  return QHostAddress(QHostAddress::AnyIPv4);
}

std::string Reason(const QUdpSocket& socket) { return socket.errorString().toLocal8Bit().toStdString(); }

// A socket bound to an ephemeral port into socket; socket is left as it was when that fails.
Result BindSocket(const std::string& host, std::unique_ptr<QUdpSocket>& socket) {
  auto bound = std::make_unique<QUdpSocket>();
  if (!bound->bind(LocalAddressFor(host), 0)) return Result::Failure(Reason(*bound));
  socket = std::move(bound);
  return Result::Success();
}
}  // namespace

UdpUnitEndpoint::UdpUnitEndpoint() = default;
UdpUnitEndpoint::~UdpUnitEndpoint() = default;

void UdpUnitEndpoint::SetRemote(std::string host, std::uint16_t port) {
  host_ = std::move(host);
  port_ = port;
  // A new remote that needs another local address (loopback against network, IPv4 against
  // IPv6) gets a fresh socket; if that cannot be bound the old one stays and sends report why.
  // An unusable host keeps the socket as it is: every send refuses it anyway.
  if (socket_ && NumericAddress(host_) && socket_->localAddress() != LocalAddressFor(host_))
    (void)BindSocket(host_, socket_);
}

Result UdpUnitEndpoint::Open() {
  if (socket_) return Result::Success();
  return BindSocket(host_, socket_);
}

void UdpUnitEndpoint::Close() { socket_.reset(); }

bool UdpUnitEndpoint::IsOpen() const { return socket_ != nullptr; }

Result UdpUnitEndpoint::Send(std::string_view datagram) {
  const std::optional<QHostAddress> remote = NumericAddress(host_);
  if (!remote) return Result::Failure("not a usable address: " + host_);

  std::unique_ptr<QUdpSocket> temporary;
  QUdpSocket* socket = socket_.get();
  if (!socket) {
    // Closed: an output command still leaves, from a socket that lives for this one send.
    if (Result bound = BindSocket(host_, temporary); !bound.ok) return bound;
    socket = temporary.get();
  }
  const qint64 written = socket->writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()), *remote, port_);
  if (written != static_cast<qint64>(datagram.size())) return Result::Failure(Reason(*socket));
  return Result::Success();
}

std::optional<std::string> UdpUnitEndpoint::Receive() {
  if (!socket_ || !socket_->hasPendingDatagrams()) return std::nullopt;
  const qint64 size = socket_->pendingDatagramSize();
  if (size < 0) return std::nullopt;
  std::string datagram(static_cast<std::size_t>(size), '\0');
  const qint64 read = socket_->readDatagram(datagram.data(), size);
  if (read < 0) return std::nullopt;
  datagram.resize(static_cast<std::size_t>(read));
  return datagram;
}
