#include "SkinLayout.h"

#include <cstring>
#include <iterator>
#include <stdexcept>

const std::vector<SkinLayout::Placement>& SkinLayout::placements()
{
    static const std::vector<Placement> all(std::begin(kControls), std::end(kControls));
    return all;
}

const SkinLayout::Placement& SkinLayout::placement(const char* name)
{
    for (const Placement& p : placements())
        if (std::strcmp(p.name, name) == 0)
            return p;
    throw std::runtime_error(std::string("no placement named ") + name);
}
