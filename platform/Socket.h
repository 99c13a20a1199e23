// TCP client sockets over IPv4 and the lookup of a host's IPv4 addresses, as the TCP/IP transport
// needs them. Every call answers 0 or an errno value (the lookup its own nonzero code). Nothing here
// locks: the owner serialises its calls, except that ShutdownSocket may run while another thread
// is blocked in Receive on the same socket, which is how that thread is woken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform
{

inline constexpr int kInvalidSocket = -1;

// An IPv4 address as its four bytes, most significant first (127.0.0.1 is {127, 0, 0, 1}).
using IPv4Bytes = std::array<uint8_t, 4>;

// A TCP stream socket over IPv4, not inherited by child processes.
int CreateTcpSocket(int& fd);
// Binds to any local address and a port of the system's choosing.
int BindAnyLocalPort(int fd);
// Blocks until the connection stands or is refused; a signal does not cut the attempt short.
int ConnectIPv4(int fd, const IPv4Bytes& address, uint16_t port);
// Sends small segments at once instead of gathering them.
int SetNoDelay(int fd);
// One send of the buffer; sent receives the count taken. A peer that has gone away is an error
// (EPIPE), never a signal that ends the process.
int Send(int fd, const uint8_t* data, size_t size, size_t& sent);
// Waits for bytes: got > 0 bytes arrived, got 0 the peer closed its side (or the socket was shut
// down).
int Receive(int fd, uint8_t* data, size_t size, size_t& got);
// Ends both directions; a Receive blocked on the socket returns at once. The descriptor stays
// allocated until CloseSocket, so its number cannot be reused under a thread that still holds it.
void ShutdownSocket(int fd);
int CloseSocket(int fd);

// The IPv4 addresses of a host name through the system's resolver (hosts file, then DNS), in the
// order given and without repeats. Nonzero (a resolver code) when the name has none.
int ResolveHostIPv4(const std::string& name, std::vector<IPv4Bytes>& addresses);

} // namespace platform
