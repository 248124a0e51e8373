#pragma once
// The SELECT of INSERT ... SELECT as text of its own, so that it can be prepared and run as a
// query: from the first SELECT keyword to the NOAUTOINC or COMMIT clause that may follow it.
#include <string>
#include <string_view>

namespace kura {

// Empty when the statement holds no SELECT keyword.
std::string InsertSourceText(std::string_view statementText);

}  // namespace kura
