#pragma once

// The virtual library's own part of quentraxOpen and quentraxClose: a session (the emulated
// unit, its panel and observers) starts with the first open and ends with the last close.
namespace omvar::sim::virtual_unit {

// At unload with a session still open (the host never closed its interfaces): its threads
// may be gone already, so it is left as it is rather than joined under the loader lock.
void abandonSession();

}  // namespace omvar::sim::virtual_unit
