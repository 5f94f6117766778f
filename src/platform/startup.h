// Process-wide settings made once, at the start of a program.
#pragma once

namespace platform {

// Keeps the process from showing system error dialogs or loading DLLs from
// its own or the current folder, and lets write errors reach the code as errors.
void hardenProcess();

// Initialises COM for this thread (a single-threaded apartment); never undone.
void initializeCom();

}  // namespace platform
