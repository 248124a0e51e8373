#pragma once
// Unique field names of a dataset: a name already taken gets "_1", "_2", ... ("%s_%d").
#include <string>
#include <vector>

namespace kura {

// The names in order, each made unique among those before it (compared without case).
std::vector<std::string> UniqueFieldNames(const std::vector<std::string> &names);

}  // namespace kura
