#pragma once

#include <string_view>

namespace app {

// Who answers for the program: shown in the About dialog, and the same as
// the signature of the README.
inline constexpr std::string_view kMaintainerName = "The program developers";
inline constexpr std::string_view kMaintainerEmail = "program-dev@example.org";

}  // namespace app
