#include "link/UdpUnitEndpoint.h"

#include <QUdpSocket>
// STUB: replaced by the link work.
UdpUnitEndpoint::UdpUnitEndpoint() = default;
UdpUnitEndpoint::~UdpUnitEndpoint() = default;
void UdpUnitEndpoint::SetRemote(std::string host, std::uint16_t port) { host_ = std::move(host); port_ = port; }
EndpointResult UdpUnitEndpoint::Open() { return {false, "not built yet"}; }
void UdpUnitEndpoint::Close() {}
bool UdpUnitEndpoint::IsOpen() const { return false; }
EndpointResult UdpUnitEndpoint::Send(std::string_view) { return {false, "not built yet"}; }
std::optional<std::string> UdpUnitEndpoint::Receive() { return std::nullopt; }
