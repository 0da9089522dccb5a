// Minimal PNG output (8-bit RGB, stored deflate blocks) for looking at the
// skin: the contact sheet and the editor mock-up.
#pragma once

#include "Image.h"

#include <string>

bool writePng(const std::string& path, const Image& image);
