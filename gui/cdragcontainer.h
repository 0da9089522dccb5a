// What is being dragged over the frame: dropped text or a list of files.
#pragma once

#include "gui/creferencecounter.h"

#include <string>
#include <vector>

namespace VSTGUI
{

class CDragContainer : public CReferenceCounter
{
public:
    enum Type
    {
        kFile = 0,
        kText,
        kUnknown = -1,
        kError = -2,
    };

    CDragContainer(bool files, std::vector<std::string> items);

    // Walks the items: each call gives the next one (null after the last) with
    // its length and type.
    const char* first(long& size, long& type);
    const char* next(long& size, long& type);
    long getType(long index) const;
    long getCount() const { return static_cast<long>(items.size()); }

private:
    bool files;
    std::vector<std::string> items;
    size_t iterator = 0;
};

} // namespace VSTGUI
