// The object that carries the test programs' shared precompiled header (see tests/CMakeLists.txt).
