// The Ogg Vorbis decoder, compiled once for the whole program; every other file includes
// engine/sound/OggVorbis.h, which declares it only.
#include <stb/stb_vorbis.h>
