// Ports on the loopback interface for tests that need "nobody answers here".
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vormla::testing {

// A socket bound to a free port of 127.0.0.1, listening when asked; *port
// receives the port.
inline int BoundLoopbackSocket(int* port, bool listen) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (listen) ::listen(fd, 16);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

// A port on 127.0.0.1 where nothing listens (bound once, then closed).
inline int ClosedPort() {
  int port = 0;
  ::close(BoundLoopbackSocket(&port, false));
  return port;
}

}  // namespace vormla::testing
