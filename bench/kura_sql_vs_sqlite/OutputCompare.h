// Compares what the two shells printed for the same queries. Both print tab-separated lines
// with a header line per result; numbers are compared by value (the shells format them
// differently), and the lines of a result without ORDER BY are compared as a set.
#pragma once

#include <string>

namespace kura::bench {

// Numbers are compared with nine significant digits. Empty when equal, otherwise a short description of the first difference.
std::string CompareOutputs(const std::string &kura, const std::string &sqlite, bool ordered);

}  // namespace kura::bench
