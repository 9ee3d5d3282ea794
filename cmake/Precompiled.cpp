// The object that carries the libraries' shared precompiled header (see cmake/Zelvan.cmake).
