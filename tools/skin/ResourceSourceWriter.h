// Writes SkinResources.cpp: every bitmap of the skin packed into the
// library, with findSkinBitmap unpacking them on first use.
#pragma once

#include "Skin.h"

#include <string>

bool writeResourceSource(const std::string& path, const Skin& skin);
