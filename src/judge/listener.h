// The judge's listening socket: binds where it was told, and hands out waiting connections
// without ever leaving one in the backlog that it cannot take (out of descriptors, it takes the
// connection with a spare descriptor kept for that and closes it).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "judge/socket_address.h"

namespace lumvex::judge {

class Listener {
 public:
  struct Accepted {
    int fd = -1;  // non-blocking, close-on-exec; the caller owns it
    SocketAddress peer;
  };

  Listener() = default;
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Binds `address` and listens. Empty on success, else why not ("address in use").
  std::string Listen(const SocketAddress& address);
  int fd() const { return fd_; }
  // The address listened on, with the port port 0 got: "http://127.0.0.1:43567/".
  const std::string& url() const { return url_; }

  // The next waiting connection; nullopt when none waits now (or accepting failed in a way the
  // next wakeup may mend).
  std::optional<Accepted> Accept();

 private:
  int fd_ = -1;
  int spare_fd_ = -1;  // given up when descriptors run out, to accept and close a connection
  std::string url_;
};

// Past a connection cap: reads what already came on `fd`, then writes a 503 with the judge's
// refusal mark (X-Judge-Refusal: busy, Retry-After) if the socket takes it at once. The bytes
// sent; the caller closes `fd`.
std::size_t SayBusy(int fd);

}  // namespace lumvex::judge
