#pragma once
// Small operating-system services: who runs the program, and loading shared objects.

#include <string>

namespace tw::platform {

bool IsSuperUser();
// $HOME, else the password database entry; empty when neither is known.
std::string HomeDirectory();

// The full path of the running program (/proc/self/exe); empty when unknown.
std::string ExecutablePath();

// Loads a shared object and keeps it loaded for the life of the process (RTLD_NODELETE): COM
// servers are never unloaded, so objects and class factories can never outlive their code.
// Returns the address of symbol, or nullptr with *error set (the loader's message). *loaded
// tells whether the object itself could be loaded (false: not found or not loadable).
// Thread-safe.
void* LoadPinnedSymbol(const std::string& path, const char* symbol, bool* loaded,
                       std::string* error);

}  // namespace tw::platform
