/* A library with nothing in it, loaded from a folder of the test's choice. */
__declspec(dllexport) int moduleProbe(void) {
    return 1;
}
