#pragma once
// Stored forms of the trees: the published properties and events of the tree classes, their
// option objects, header and columns, and the classes a form may create by name.

namespace epc {

// Registers the tree classes with the property and class registries (once; later calls do
// nothing). Each tree source that a program links calls it during start-up.
void RegisterTreeClasses();

} // namespace epc
