#pragma once
// Stream forms of the framework's controls: the published properties of the control classes,
// fonts, pictures and image lists, for forms written to and read from component streams.
//
// TControl publishes its bounds (Left, Top, Width, Height). The rest of the common control
// properties (Align, Color, Font, Visible, ...) are published by each class that wants them, by
// name, with PublishControlProperties, so that a class stores exactly the list it declares.

#include <string>
#include <vector>

namespace epc {

// Registers the framework's classes (once; later calls do nothing).
void RegisterControlProperties();

// Publishes on className, whose parent class is parentName, the named common properties of
// the framework's controls in the order given; names beginning with "On" are events. A name
// that is not a common property raises EPropertyError: a class registers its own with
// TPublished.
void PublishControlProperties(const std::string& className, const std::string& parentName,
                              const std::vector<const char*>& names);

// The common properties the framework's panels publish, and those of its speed buttons.
const std::vector<const char*>& PanelControlProperties();
const std::vector<const char*>& SpeedButtonControlProperties();

} // namespace epc
