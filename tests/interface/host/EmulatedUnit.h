#pragma once

// The controls of the emulator library (hidapi_emulated) that a host program uses: one unit,
// plugged in and out. Plain C functions, so that only they and hidapi's functions cross the
// library's boundary.
#ifdef _WIN32
#ifdef HIDAPI_EMULATED_BUILD
#define EMULATED_UNIT_API extern "C" __declspec(dllexport)
#else
#define EMULATED_UNIT_API extern "C" __declspec(dllimport)
#endif
#else
#define EMULATED_UNIT_API extern "C" __attribute__((visibility("default")))
#endif

// Plugs in a unit (firmware 23, status reports every 10 ms).
EMULATED_UNIT_API void emulated_unit_plug_in();
// Unplugs it.
EMULATED_UNIT_API void emulated_unit_unplug();
// HID handles open on it now.
EMULATED_UNIT_API int emulated_unit_open_handles();
// Its OUT endpoint takes nothing for `ms` from now (QuentraxUnit::stall_writes).
EMULATED_UNIT_API void emulated_unit_stall_writes(int ms);
// Writes it has begun to take, stalled ones included.
EMULATED_UNIT_API int emulated_unit_writes();
