// A small LZ77 packer for the pixels compiled into the plug-in, so the
// generated source stays a few hundred kilobytes instead of tens of
// megabytes. Stream: a byte t < 128 starts a run of t + 1 literal bytes; a
// byte t >= 128 copies (t - 128) + 4 bytes from the distance given by the
// next two bytes (little-endian, 1..65535) back in the output. The unpacker
// is written into the generated source next to the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<uint8_t> packBytes(const std::vector<uint8_t>& input);
std::vector<uint8_t> unpackBytes(const std::vector<uint8_t>& packed, size_t rawSize);
