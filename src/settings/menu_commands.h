#pragma once
// Commands of the popup menu that open windows living in other folders. The program's
// main() connects them, so the settings windows do not depend on the statistics or
// information windows.

#include <functional>

namespace MenuCommands {
inline std::function<void()> ShowAbout;
inline std::function<void()> ShowStatistics;
} // namespace MenuCommands
