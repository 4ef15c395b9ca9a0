// Exported functions that configure the library's logging.
#include "quentrax.h"

#include "LibraryLoggers.h"

extern "C" QUENTRAX_API void QUENTRAX_CALL
quentraxSetLogger(std::shared_ptr<spdlog::logger> logger) {
    omvar::quentrax::replace_library_logger(std::move(logger));
}

extern "C" QUENTRAX_API void QUENTRAX_CALL quentraxSetLogLevel(int level) {
    omvar::quentrax::set_library_log_level(level);
}
