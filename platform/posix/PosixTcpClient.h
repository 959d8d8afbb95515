#pragma once
#include "platform/TcpClient.h"

namespace cv {

// Blocking client on POSIX sockets; readable waits with poll.
class TPosixTcpClient : public ITcpClient {
public:
    std::unique_ptr<ITcpConnection> Connect(const std::string& host, uint16_t port) override;
};

} // namespace cv
