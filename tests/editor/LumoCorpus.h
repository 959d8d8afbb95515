#pragma once
// Generated Lumo for the styler's tests and benchmarks. The same seed gives the same text.
#include <cstddef>
#include <cstdint>
#include <string>

namespace cvtest {

// A Lumo program of at least `bytes` bytes as administrators write them: ARGUMENT and LOCAL
// declarations at the head, nested blocks, loops and cases, continued statements, strings,
// quoted names with attributes, comments; CR LF line ends.
std::string GenerateLumoProgram(uint32_t seed, size_t bytes);

// `lines` lines of Lumo fragments in random order, heavy on what the styler treats specially:
// THEN at a line's end, unknown commands, colons, unclosed strings and quoted names,
// continuation "-" with and without comments, numbers with dots, operators in any case,
// non-ASCII bytes, tabs, LF and CR LF line ends, blank lines, declarations at the head.
std::string GenerateLumoSoup(uint32_t seed, int lines);

} // namespace cvtest
