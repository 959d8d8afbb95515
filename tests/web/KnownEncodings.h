#pragma once
// Encodings of the default certificate's parts as DER spells them, shared by the tests of
// both store backends so they are held to the same bytes.
#include <cstdint>
#include <vector>

namespace cvtest {

// "CN=pc1, T=default": two RDNs, common name then title, as printable strings.
inline const std::vector<uint8_t> NamePc1Default = {
    0x30, 0x20,                                                       // Name
    0x31, 0x0C, 0x30, 0x0A, 0x06, 0x03, 0x55, 0x04, 0x03,             // CN
    0x13, 0x03, 'p', 'c', '1',                                        //   "pc1"
    0x31, 0x10, 0x30, 0x0E, 0x06, 0x03, 0x55, 0x04, 0x0C,             // title
    0x13, 0x07, 'd', 'e', 'f', 'a', 'u', 'l', 't'};                   //   "default"

// IP address 127.0.0.1, then DNS name "pc1".
inline const std::vector<uint8_t> AltNamesLoopbackPc1 = {
    0x30, 0x0B, 0x87, 0x04, 0x7F, 0x00, 0x00, 0x01, 0x82, 0x03, 'p', 'c', '1'};

// A certificate authority without a path length constraint.
inline const std::vector<uint8_t> BasicConstraintsCa = {0x30, 0x03, 0x01, 0x01, 0xFF};

// The octets 01 02 as a key identifier.
inline const std::vector<uint8_t> KeyIdentifier0102 = {0x04, 0x02, 0x01, 0x02};

} // namespace cvtest
