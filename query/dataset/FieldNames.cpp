// Unique field names.
#include "query/dataset/FieldNames.h"

#include <set>

#include "query/dataset/TextCompare.h"

namespace kura {

std::vector<std::string> UniqueFieldNames(const std::vector<std::string> &names) {
  std::vector<std::string> out;
  std::set<std::string> taken;  // upper-cased
  for (const std::string &name : names) {
    std::string candidate = name;
    for (int n = 1; taken.count(UpperText(candidate)) != 0; ++n) candidate = name + "_" + std::to_string(n);
    taken.insert(UpperText(candidate));
    out.push_back(candidate);
  }
  return out;
}

}  // namespace kura
