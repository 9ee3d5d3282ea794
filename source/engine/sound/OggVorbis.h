#pragma once
// Declarations of the Ogg Vorbis decoder (its code is compiled once, in stb_vorbis_impl.c).

#ifndef STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_HEADER_ONLY
#endif
#include <stb/stb_vorbis.h>
