#include "gui/cdragcontainer.h"

namespace VSTGUI
{

CDragContainer::CDragContainer(bool files, std::vector<std::string> items) : files(files), items(std::move(items)) {}

const char* CDragContainer::first(long& size, long& type)
{
    iterator = 0;
    return next(size, type);
}

const char* CDragContainer::next(long& size, long& type)
{
    if (iterator >= items.size())
    {
        size = 0;
        type = kError;
        return nullptr;
    }
    const std::string& item = items[iterator++];
    size = static_cast<long>(item.size());
    type = files ? kFile : kText;
    return item.c_str();
}

long CDragContainer::getType(long index) const
{
    if (index < 0 || index >= getCount())
        return kError;
    return files ? kFile : kText;
}

} // namespace VSTGUI
