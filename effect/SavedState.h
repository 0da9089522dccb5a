// The effect's whole state as a host saves it with a session: the 24
// programs as the bytes of a bank file and the selected program, the same
// content the LV2 build stores as two properties. Format adapters that save
// one block of bytes (VST3, CLAP) save this.
//
// Layout: the tag "QDXZstat", a 32-bit version (1), the 3077 bank-file
// bytes, the selected program as a 32-bit value; integers little-endian.
#pragma once

#include <cstddef>
#include <vector>

class Plugin;

namespace savedstate
{

// The host's thread for saving (not the audio thread: it allocates).
std::vector<unsigned char> save(Plugin& effect);

// Checks the whole of bytes first: a short or damaged block, a rejected
// bank or a program number outside 0..23 changes nothing and answers false.
// Bytes after the layout are ignored. The effect's parameter reports go to
// its host as usual; an adapter that must not record them as automation
// silences them around the call.
bool restore(Plugin& effect, const unsigned char* bytes, size_t size);

} // namespace savedstate
