// zelvo_skin_generator: paints the editor's skin and writes it out.
//
//   zelvo_skin_generator --out DIR        bmp<id>.bmp files, zelvo.rc and SkinResources.cpp into DIR
//   --mockup FILE.png                     the editor with every control's first picture
//   --in-use FILE.png                     the editor in use (meters, values, lit keys)
//   --about FILE.png                      the same with the about panel open
//   --contact FILE.png                    every bitmap on one sheet
//   --zoom N                              enlarge the pictures above N times
#include "Mockup.h"
#include "PngFile.h"
#include "ResourceScriptWriter.h"
#include "ResourceSourceWriter.h"
#include "Skin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    std::string out, mockup, inUse, about, contact;
    int zoom = 1;
    for (int i = 1; i < argc; i += 2)
    {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value)
        {
            std::fprintf(stderr, "%s needs a value\n", arg.c_str());
            return 2;
        }
        if (arg == "--out")
            out = value;
        else if (arg == "--mockup")
            mockup = value;
        else if (arg == "--in-use")
            inUse = value;
        else if (arg == "--about")
            about = value;
        else if (arg == "--contact")
            contact = value;
        else if (arg == "--zoom")
            zoom = std::max(1, std::atoi(value));
        else
        {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (out.empty() && mockup.empty() && inUse.empty() && about.empty() && contact.empty())
    {
        std::fprintf(stderr,
                     "usage: %s --out DIR [--mockup F.png] [--in-use F.png] [--about F.png] "
                     "[--contact F.png] [--zoom N]\n",
                     argv[0]);
        return 2;
    }

    const Skin skin = buildSkin();
    bool ok = true;
    if (!out.empty())
    {
        ok = writeBitmapFiles(out, skin) && ok;
        ok = writeResourceScript(out + "/zelvo.rc", skin) && ok;
        ok = writeResourceSource(out + "/SkinResources.cpp", skin) && ok;
    }
    auto png = [&](const std::string& path, const Image& image) {
        if (!path.empty())
            ok = writePng(path, zoom > 1 ? zoomed(image, zoom) : image) && ok;
    };
    png(mockup, editorMockup(skin));
    png(inUse, editorInUse(skin, false));
    png(about, editorInUse(skin, true));
    png(contact, contactSheet(skin));
    if (!ok)
    {
        std::fprintf(stderr, "could not write every output\n");
        return 1;
    }
    return 0;
}
