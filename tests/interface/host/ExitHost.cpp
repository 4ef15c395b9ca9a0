// A program of another logger's author, linked against the shared library: it hands over its
// own loggers, uses an interface, closes it and simply returns from main. The exit must be clean:
// no crash, and no library line into the program's sink once its objects are gone.
#include <cstdio>

#include "HostLogSink.h"
#include "quentrax.h"

int main() {
    for (auto& logger : host::host_loggers()) {
        quentraxSetLogger(logger);
    }
    const int id = quentraxOpen(0);
    if (id >= 0) {
        quentraxSetWPM(id, 25);
        quentraxClose(id);
    }
    quentraxGetWPM(0);
    if (!host::host_logged("quentraxGetWPM: nId=0")) {
        std::fprintf(stderr, "the library did not log into the host's sink\n");
        return 1;
    }
    std::printf("opened: %s; returning from main\n", id >= 0 ? "yes" : "no interface");
    return 0;
}
