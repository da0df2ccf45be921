#pragma once
// Each demo section registers itself with a static DemoSection object; the demo program runs
// them all in name order, each writing its files into the output folder.

#include <functional>
#include <string>

namespace demo {

using DemoFunction = std::function<bool(const std::string& outDir)>;

struct DemoSection {
    DemoSection(const char* name, DemoFunction run);
};

}  // namespace demo
