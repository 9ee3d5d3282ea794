// Linked into the test programs of sanitizer builds only.
//
// Mesa's EGL unloads its software driver (and LLVM, which llvmpipe pulls in) at eglTerminate and
// at exit. Allocations the driver's threads leave behind are then reported by the leak checker
// with frames in no module at all ("<unknown module>"), which no suppression can match: whether a
// run failed depended on which of those allocations were still referenced when the driver went.
// With dlclose a no-op every module stays mapped until the leak check, so each frame is named by
// its module and tests/lsan-mesa.supp matches the driver's allocations every time. Unloading
// nothing at exit changes no behaviour the tests look at.
extern "C" int dlclose(void*) { return 0; }

// The leak checker's options, for every way a sanitizer test is started (CTest, or by hand): the
// suppressions of allocations inside Mesa's software driver.
extern "C" const char* __lsan_default_options() {
    return "suppressions=" ZELVAN_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
