#pragma once
// The sample installation's task list, product.xml.
#include <string>

namespace sim {
std::string ProductXml();
} // namespace sim
