#pragma once

namespace ecrsim {

// Where the simulated register meets the PC: a pseudo-terminal or a TCP port.
class LineServer {
public:
    virtual ~LineServer() = default;
    // The line disappears (an unplugged adapter, a dropped connection) and
    // comes back after ms.
    virtual void disconnectFor(int ms) = 0;
};

} // namespace ecrsim
