#pragma once
#include "platform/TcpClient.h"

namespace cv {

// Blocking client on Winsock; readable waits with select.
class TWin32TcpClient : public ITcpClient {
public:
    std::unique_ptr<ITcpConnection> Connect(const std::string& host, uint16_t port) override;
};

} // namespace cv
