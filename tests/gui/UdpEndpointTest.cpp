// The real endpoint over 127.0.0.1 only, against a plain QUdpSocket standing in for the unit.
#include "link/UdpUnitEndpoint.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {
constexpr int DeadlineMs = 3000;

struct Unit {
  Unit() { EXPECT_TRUE(socket.bind(QHostAddress(QHostAddress::LocalHost), 0)); }
  std::uint16_t port() const { return socket.localPort(); }
  // The next datagram, waiting at most the deadline.
  std::optional<QNetworkDatagram> next() {
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(DeadlineMs)) return std::nullopt;
    return socket.receiveDatagram();
  }
  QUdpSocket socket;
};

// Receive() never blocks, so retry until something arrives or the deadline passes.
std::optional<std::string> ReceiveWithin(UdpUnitEndpoint& endpoint) {
  const QDeadlineTimer deadline(DeadlineMs);
  while (!deadline.hasExpired()) {
    if (auto datagram = endpoint.Receive()) return datagram;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return std::nullopt;
}

std::string Bytes(const QByteArray& data) {
  return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}
QByteArray Data(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

TEST(UdpUnitEndpoint, TalksToTheUnitFromOneEphemeralPort) {
  Unit unit;
  UdpUnitEndpoint endpoint;
  endpoint.SetRemote("127.0.0.1", unit.port());
  EXPECT_FALSE(endpoint.IsOpen());
  EXPECT_EQ(endpoint.Receive(), std::nullopt);
  ASSERT_TRUE(endpoint.Open().ok);
  EXPECT_TRUE(endpoint.IsOpen());
  EXPECT_EQ(endpoint.Receive(), std::nullopt);  // nothing waits: no block, no datagram

  // Byte for byte, 8-bit bytes and a NUL included.
  const std::string poll = std::string("K\xC9LDRON,U****************") + '\0' + "\xFF";
  ASSERT_TRUE(endpoint.Send(poll).ok);
  const auto received = unit.next();
  ASSERT_TRUE(received);
  EXPECT_EQ(Bytes(received->data()), poll);
  EXPECT_EQ(received->senderAddress(), QHostAddress(QHostAddress::LocalHost));

  // The report comes back to the port the poll left from, one datagram per Receive.
  const std::string report = "KELDRON,U,1000000000000001,0100000000000000,512,0,1023,12,300,7,0,\xB1";
  unit.socket.writeDatagram(Data(report), received->senderAddress(), static_cast<quint16>(received->senderPort()));
  unit.socket.writeDatagram(Data("second"), received->senderAddress(), static_cast<quint16>(received->senderPort()));
  EXPECT_EQ(ReceiveWithin(endpoint), report);
  EXPECT_EQ(ReceiveWithin(endpoint), "second");

  // Closed: nothing is read, but a command still leaves, from a temporary socket.
  endpoint.Close();
  EXPECT_FALSE(endpoint.IsOpen());
  EXPECT_EQ(endpoint.Receive(), std::nullopt);
  ASSERT_TRUE(endpoint.Send("KELDRON,U,T,1***************").ok);
  const auto command = unit.next();
  ASSERT_TRUE(command);
  EXPECT_EQ(Bytes(command->data()), "KELDRON,U,T,1***************");
  EXPECT_FALSE(endpoint.IsOpen());

  // Opened again it works as before.
  ASSERT_TRUE(endpoint.Open().ok);
  ASSERT_TRUE(endpoint.Send("again").ok);
  const auto again = unit.next();
  ASSERT_TRUE(again);
  EXPECT_EQ(Bytes(again->data()), "again");
}

TEST(UdpUnitEndpoint, OnlyNumericAddressesAreUsed) {
  // A host name would need a look-up: refused with the reason, open or closed, and nothing leaves.
  Unit unit;
  UdpUnitEndpoint endpoint;
  endpoint.SetRemote("127.0.0.1", unit.port());
  ASSERT_TRUE(endpoint.Open().ok);
  endpoint.SetRemote("not-an-address", unit.port());
  EXPECT_EQ(endpoint.Send("KELDRON,U****************").error, "not a usable address: not-an-address");
  endpoint.Close();
  const Result closed = endpoint.Send("KELDRON,U****************");
  EXPECT_FALSE(closed.ok);
  EXPECT_EQ(closed.error, "not a usable address: not-an-address");
  endpoint.SetRemote("", unit.port());
  EXPECT_EQ(endpoint.Send("x").error, "not a usable address: ");
  EXPECT_FALSE(unit.socket.hasPendingDatagrams());

  // Set to a numeric address again, the next send leaves.
  endpoint.SetRemote("127.0.0.1", unit.port());
  ASSERT_TRUE(endpoint.Send("KELDRON,C,S,****************").ok);
  const auto ack = unit.next();
  ASSERT_TRUE(ack);
  EXPECT_EQ(Bytes(ack->data()), "KELDRON,C,S,****************");
}
