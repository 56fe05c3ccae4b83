// The emulator's loopback control channel: a line protocol on 127.0.0.1 through which a test
// (or a script) configures the units of a PortSet and reads what they saw. Requests and
// answers are single lines of ASCII ending in "\n"; every answer begins with "ok" or "error".
//
//   ports                  -> ok N
//   name I                 -> ok PATH              (the port's link)
//   configure I TEXT       -> ok | error REASON    (TEXT: the unit text, e.g. "kestrale:U paced")
//   host-bytes I           -> ok [HEX]             (every byte the host sent since configure)
//   speed-commands I       -> ok N
//   image I                -> ok [HEX]             (the last image received completely)
//   unit-speed I           -> ok BPS               (0 when the port is absent)
//   unit-version I         -> ok MAJ.MIN.L
//   garbage I              -> ok N                 (bytes sent at a speed the unit did not use)
//   in-use I               -> ok 0|1               (some process holds the port open)
//   quit                   -> closes this connection
#pragma once
#include <string>
#include <vector>

#include "port_set.h"

class ControlServer {
public:
    explicit ControlServer(PortSet& ports) : ports_(ports) {}
    ~ControlServer();

    // Listens on 127.0.0.1:port (0: any free port); *bound receives the port in use.
    bool Listen(int port, int* bound, std::string* error);
    // Serves clients until `stopFd` becomes readable.
    void Serve(int stopFd);
    // One request line in, one answer line out (without the newline). Public for tests.
    std::string Answer(const std::string& request);

private:
    struct Client {
        int fd = -1;
        std::string pending;
    };
    bool HandleReadable(Client& client);  // false: close the client

    PortSet& ports_;
    int listenFd_ = -1;
    std::vector<Client> clients_;
};
