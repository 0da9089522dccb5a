// Writes the Windows side of the skin: one bmp<id>.bmp per resource at its
// colour depth and the resource script zelvo.rc that names them.
#pragma once

#include "Skin.h"

#include <string>

bool writeBitmapFiles(const std::string& directory, const Skin& skin);
bool writeResourceScript(const std::string& path, const Skin& skin);
