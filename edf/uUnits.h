// Start-up and shutdown of the library's units. C++ leaves the order of static
// initialisation across files open, so the units are started explicitly, in
// dependency order, and ended in reverse.
#pragma once

// Registers every library unit in the unit registry and runs each unit's
// start-up work (settings-file paths, locale settings) in between.
void StartUnits();
// Ends the units in reverse order; the registry is freed last.
void StopUnits();
