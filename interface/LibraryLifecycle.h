#pragma once

// Load and unload work of the interface library, called by the module's entry point (DllMain
// on Windows, the shared object's constructor and destructor elsewhere).
namespace omvar::quentrax {

void library_attach();
void library_detach();
void library_thread_attach();
void library_thread_detach();

}  // namespace omvar::quentrax
