#pragma once

// Load and unload work of the interface library, called by the module's entry point (DllMain
// on Windows, the shared object's constructor and destructor elsewhere).
namespace omvar::quentrax {

void library_attach();
void library_detach();
void library_thread_attach();
void library_thread_detach();

// The end of the process, as opposed to an unload by the host. At exit the host's static objects
// (which its log sinks may use) are destroyed before the library's unload code runs, so that
// code must not log then. Natively nothing else tells the two apart: at the first hand-over of a
// logger or interface a static object is made whose destruction notes that the process is ending
// (and closes the interfaces still open, so that no reader runs on while the program's objects
// are destroyed). At exit it is destroyed before the host's objects made until then; on dlclose
// only after the unload code.
void watch_for_process_exit();
bool process_ending();

}  // namespace omvar::quentrax
