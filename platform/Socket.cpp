#include "platform/Socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform
{

namespace
{

sockaddr_in MakeAddress(const IPv4Bytes& address, uint16_t port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    uint32_t hostOrder = 0;
    for (uint8_t byte : address)
        hostOrder = hostOrder << 8 | byte;
    socketAddress.sin_addr.s_addr = htonl(hostOrder);
    return socketAddress;
}

// A connect interrupted by a signal goes on in the background: wait for it to end and take its
// outcome.
int FinishInterruptedConnect(int fd)
{
    pollfd entry{fd, POLLOUT, 0};
    for (;;)
    {
        const int ready = ::poll(&entry, 1, -1);
        if (ready > 0)
            break;
        if (ready < 0 && errno != EINTR)
            return errno;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace

int CreateTcpSocket(int& fd)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd < 0 ? errno : 0;
}

int BindAnyLocalPort(int fd)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = 0;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? 0 : errno;
}

int ConnectIPv4(int fd, const IPv4Bytes& address, uint16_t port)
{
    const sockaddr_in peer = MakeAddress(address, port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return 0;
    return errno == EINTR ? FinishInterruptedConnect(fd) : errno;
}

int SetNoDelay(int fd)
{
    const int on = 1;
    return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : errno;
}

int Send(int fd, const uint8_t* data, size_t size, size_t& sent)
{
    sent = 0;
    for (;;)
    {
        const ssize_t count = ::send(fd, data, size, MSG_NOSIGNAL);
        if (count >= 0)
        {
            sent = static_cast<size_t>(count);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

int Receive(int fd, uint8_t* data, size_t size, size_t& got)
{
    got = 0;
    for (;;)
    {
        const ssize_t count = ::recv(fd, data, size, 0);
        if (count >= 0)
        {
            got = static_cast<size_t>(count);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

void ShutdownSocket(int fd)
{
    ::shutdown(fd, SHUT_RDWR);
}

int CloseSocket(int fd)
{
    // Linux releases the descriptor even when close reports EINTR: never close it twice.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int ResolveHostIPv4(const std::string& name, std::vector<IPv4Bytes>& addresses)
{
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (const int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &list); error != 0)
        return error;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next)
    {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
            entry->ai_addrlen < sizeof(sockaddr_in))
            continue;
        sockaddr_in found{};
        std::memcpy(&found, entry->ai_addr, sizeof found);
        const uint32_t hostOrder = ntohl(found.sin_addr.s_addr);
        const IPv4Bytes address{static_cast<uint8_t>(hostOrder >> 24), static_cast<uint8_t>(hostOrder >> 16),
                                static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder)};
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    ::freeaddrinfo(list);
    return addresses.empty() ? EAI_NONAME : 0;
}

} // namespace platform
