// One customisation run, from the launcher's name to the rewritten setup files.
#pragma once

// Runs the whole customisation of the package in the current directory. Every
// failure ends the run quietly; nothing is reported and nothing escapes.
void runCustomization() noexcept;
