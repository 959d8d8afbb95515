#include "PosixTcpClient.h"

namespace cv {

// Placeholder until the status feed's socket layer lands.
std::unique_ptr<ITcpConnection> TPosixTcpClient::Connect(const std::string&, uint16_t) {
    return {};
}

} // namespace cv
