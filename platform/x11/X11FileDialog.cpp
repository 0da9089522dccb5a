// The toolkit's own file dialog on X11, for systems without zenity or
// kdialog: a directory listing filtered by the chosen file type, a typed
// name, OK and Cancel, and a question before a file is replaced.
#include "platform/FileDialog.h"
#include "platform/x11/FontRenderer.h"
#include "platform/x11/SoftwareDevice.h"
#include "platform/x11/X11Native.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

constexpr int kWidth = 480;
constexpr int kHeight = 380;
constexpr int kRow = 18;
constexpr int kListTop = 34;
constexpr int kListBottom = 280;
const ColorRef kFace = makeColorRef(240, 240, 240);
const ColorRef kWhite = makeColorRef(255, 255, 255);
const ColorRef kText = makeColorRef(0, 0, 0);
const ColorRef kEdge = makeColorRef(151, 151, 151);
const ColorRef kSelection = makeColorRef(0, 120, 215);

struct Entry
{
    std::string name;
    bool directory;
};

bool matches(const std::string& name, const std::string& pattern)
{
    if (pattern.empty() || pattern == "*.*" || pattern == "*")
        return true;
    if (pattern.compare(0, 2, "*.") != 0)
        return name == pattern;
    std::string extension = pattern.substr(1);
    if (name.size() < extension.size())
        return false;
    std::string tail = name.substr(name.size() - extension.size());
    std::transform(tail.begin(), tail.end(), tail.begin(), ::tolower);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return tail == extension;
}

bool isDirectory(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0;
}

class FileDialog
{
public:
    FileDialog(X11Display& connection, const FileDialogRequest& request)
        : connection(connection),
          display(connection.get()),
          request(request),
          picture(kWidth, kHeight)
    {
        directory = request.initialDirectory;
        if (directory.empty() || !isDirectory(directory))
        {
            char here[4096];
            directory = getcwd(here, sizeof here) ? here : "/";
        }
        name = request.initialName;
        type = std::clamp(request.selectedType, 0, std::max(0, static_cast<int>(request.types.size()) - 1));
        font.size = 13;
        list();
    }

    bool run(std::string& path)
    {
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;
        attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask | StructureNotifyMask;
        int screen = DefaultScreen(display);
        window = XCreateWindow(display, DefaultRootWindow(display), (DisplayWidth(display, screen) - kWidth) / 2,
                               (DisplayHeight(display, screen) - kHeight) / 2, kWidth, kHeight, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
        XStoreName(display, window, request.title.c_str());
        Atom deleteWindow = connection.atom("WM_DELETE_WINDOW");
        XSetWMProtocols(display, window, &deleteWindow, 1);
        Atom dialogType = connection.atom("_NET_WM_WINDOW_TYPE_DIALOG");
        XChangeProperty(display, window, connection.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&dialogType), 1);
        gc = XCreateGC(display, window, 0, nullptr);
        XMapRaised(display, window);
        paint();
        while (!done)
        {
            XEvent event;
            XNextEvent(display, &event);
            if (event.xany.window != window)
            {
                if (event.type == Expose)
                    connection.dispatch(event);
                continue;
            }
            if (event.type == Expose && event.xexpose.count == 0)
                present();
            else if (event.type == ButtonPress)
                click(event.xbutton);
            else if (event.type == KeyPress)
                key(event.xkey);
            else if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                finish(false);
            else if (event.type == DestroyNotify)
                done = true;
        }
        XFreeGC(display, gc);
        XDestroyWindow(display, window);
        XFlush(display);
        if (accepted)
            path = chosen;
        return accepted;
    }

private:
    IntRect nameBox() const { return {90, 292, kWidth - 12, 312}; }
    IntRect typeBox() const { return {90, 318, kWidth - 12, 338}; }
    IntRect okBox() const { return {kWidth - 184, 348, kWidth - 100, 372}; }
    IntRect cancelBox() const { return {kWidth - 92, 348, kWidth - 12, 372}; }
    int visibleRows() const { return (kListBottom - kListTop) / kRow; }
    static bool inside(const IntRect& r, int x, int y)
    {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }

    void list()
    {
        entries.clear();
        if (directory != "/")
            entries.push_back({"..", true});
        if (DIR* folder = opendir(directory.c_str()))
        {
            std::vector<Entry> found;
            while (dirent* item = readdir(folder))
            {
                std::string entryName = item->d_name;
                if (entryName == "." || entryName == ".." || entryName[0] == '.')
                    continue;
                bool folderEntry = isDirectory(directory + "/" + entryName);
                std::string pattern = request.types.empty() ? "*.*" : request.types[static_cast<size_t>(type)].pattern;
                if (folderEntry || matches(entryName, pattern))
                    found.push_back({entryName, folderEntry});
            }
            closedir(folder);
            std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
                return a.directory != b.directory ? a.directory : a.name < b.name;
            });
            entries.insert(entries.end(), found.begin(), found.end());
        }
        selected = -1;
        scroll = 0;
    }

    void enter(const std::string& folder)
    {
        if (folder == "..")
        {
            size_t slash = directory.find_last_of('/');
            directory = slash == 0 || slash == std::string::npos ? "/" : directory.substr(0, slash);
        }
        else
        {
            directory = (directory == "/" ? "" : directory) + "/" + folder;
        }
        list();
    }

    void finish(bool ok)
    {
        accepted = ok;
        done = true;
    }

    void confirm()
    {
        if (question)
        {
            finish(true);
            return;
        }
        if (name.empty())
            return;
        std::string path = name[0] == '/' ? name : (directory == "/" ? "" : directory) + "/" + name;
        if (isDirectory(path))
        {
            directory = path;
            name.clear();
            list();
            return;
        }
        std::string base = path.substr(path.find_last_of('/') + 1);
        if (base.find('.') == std::string::npos && !request.defaultExtension.empty())
            path += "." + request.defaultExtension;
        if (!request.save && request.mustExist && !exists(path))
            return;
        chosen = path;
        if (request.save && request.overwritePrompt && exists(path))
        {
            question = true;
            return;
        }
        finish(true);
    }

    void click(XButtonEvent& button)
    {
        int x = button.x, y = button.y;
        if (button.button == 4 || button.button == 5)
        {
            scroll = std::clamp(scroll + (button.button == 5 ? 3 : -3), 0,
                                std::max(0, static_cast<int>(entries.size()) - visibleRows()));
        }
        else if (inside(okBox(), x, y))
        {
            confirm();
        }
        else if (inside(cancelBox(), x, y))
        {
            if (question)
                question = false;
            else
                finish(false);
        }
        else if (!question && inside(typeBox(), x, y) && !request.types.empty())
        {
            type = (type + 1) % static_cast<int>(request.types.size());
            list();
        }
        else if (!question && y >= kListTop && y < kListBottom && x > 8 && x < kWidth - 8)
        {
            int row = scroll + (y - kListTop) / kRow;
            if (row < static_cast<int>(entries.size()))
            {
                bool again = row == selected && button.time - lastClick < 500;
                selected = row;
                lastClick = button.time;
                if (!entries[static_cast<size_t>(row)].directory)
                    name = entries[static_cast<size_t>(row)].name;
                if (again)
                {
                    if (entries[static_cast<size_t>(row)].directory)
                        enter(entries[static_cast<size_t>(row)].name);
                    else
                        confirm();
                }
            }
        }
        if (!done)
            paint();
    }

    void key(XKeyEvent& event)
    {
        Key code = translateKey(event);
        if (question)
        {
            if (code.name == KeyName::returnKey || code.name == KeyName::enter || code.character == 'y')
                finish(true);
            else if (code.name == KeyName::escape || code.character == 'n')
                question = false;
        }
        else if (code.name == KeyName::escape)
        {
            finish(false);
        }
        else if (code.name == KeyName::returnKey || code.name == KeyName::enter)
        {
            confirm();
        }
        else if (code.name == KeyName::back)
        {
            if (!name.empty())
                name.pop_back();
        }
        else if (code.name == KeyName::down || code.name == KeyName::up)
        {
            int count = static_cast<int>(entries.size());
            if (count > 0)
            {
                selected = std::clamp(selected + (code.name == KeyName::down ? 1 : -1), 0, count - 1);
                if (!entries[static_cast<size_t>(selected)].directory)
                    name = entries[static_cast<size_t>(selected)].name;
                scroll = std::clamp(scroll, selected - visibleRows() + 1, selected);
            }
        }
        else if (code.character >= 0x20 && name.size() < 255)
        {
            name += static_cast<char>(code.character);
        }
        if (!done)
            paint();
    }

    void box(SoftwareDevice& device, const IntRect& rect, ColorRef fill)
    {
        device.selectBrush(kEdge);
        device.fillRect(rect);
        device.selectBrush(fill);
        device.fillRect(IntRect{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1});
    }

    void paint()
    {
        SoftwareDevice device(picture);
        device.selectFont(font);
        device.selectBrush(kFace);
        device.fillRect(IntRect{0, 0, kWidth, kHeight});
        device.setTextColor(kText);
        device.drawText(directory.c_str(), IntRect{12, 8, kWidth - 12, 28}, TextAlign::left);
        box(device, IntRect{8, kListTop - 2, kWidth - 8, kListBottom + 2}, kWhite);
        device.setClipRect(IntRect{9, kListTop, kWidth - 9, kListBottom});
        for (int i = 0; i < visibleRows() && scroll + i < static_cast<int>(entries.size()); ++i)
        {
            const Entry& entry = entries[static_cast<size_t>(scroll + i)];
            IntRect row{9, kListTop + i * kRow, kWidth - 9, kListTop + (i + 1) * kRow};
            bool lit = scroll + i == selected;
            if (lit)
            {
                device.selectBrush(kSelection);
                device.fillRect(row);
            }
            device.setTextColor(lit ? kWhite : kText);
            std::string shown = entry.directory ? "[" + entry.name + "]" : entry.name;
            device.drawText(shown.c_str(), IntRect{row.left + 6, row.top, row.right, row.bottom}, TextAlign::left);
        }
        device.resetClip();
        device.setTextColor(kText);
        device.drawText("File name:", IntRect{12, 292, 88, 312}, TextAlign::left);
        box(device, nameBox(), kWhite);
        device.drawText((name + "|").c_str(),
                        IntRect{nameBox().left + 4, nameBox().top, nameBox().right, nameBox().bottom}, TextAlign::left);
        device.drawText("Type:", IntRect{12, 318, 88, 338}, TextAlign::left);
        box(device, typeBox(), kFace);
        if (!request.types.empty())
        {
            const FileType& current = request.types[static_cast<size_t>(type)];
            std::string shown = current.name + " (" + current.pattern + ")";
            device.drawText(shown.c_str(),
                            IntRect{typeBox().left + 4, typeBox().top, typeBox().right, typeBox().bottom},
                            TextAlign::left);
        }
        if (question)
        {
            std::string text = chosen.substr(chosen.find_last_of('/') + 1) + " already exists. Replace it?";
            device.drawText(text.c_str(), IntRect{12, 348, okBox().left - 4, 372}, TextAlign::left);
        }
        box(device, okBox(), makeColorRef(225, 225, 225));
        device.drawText(question ? "Yes" : (request.save ? "Save" : "Open"), okBox(), TextAlign::center);
        box(device, cancelBox(), makeColorRef(225, 225, 225));
        device.drawText(question ? "No" : "Cancel", cancelBox(), TextAlign::center);
        present();
    }

    void present()
    {
        connection.putPicture(window, gc, picture, IntRect{0, 0, kWidth, kHeight});
        XFlush(display);
    }

    X11Display& connection;
    Display* display;
    const FileDialogRequest& request;
    SoftwareBitmap picture;
    FontDescription font;
    ::Window window = 0;
    GC gc = nullptr;
    std::string directory;
    std::string name;
    std::string chosen;
    std::vector<Entry> entries;
    int type = 0;
    int selected = -1;
    int scroll = 0;
    Time lastClick = 0;
    bool question = false;
    bool done = false;
    bool accepted = false;
};

} // namespace

bool runX11FileDialog(const FileDialogRequest& request, std::string& path)
{
    X11Display* connection = X11Display::acquire();
    if (!connection)
        return false;
    bool result;
    {
        FileDialog dialog(*connection, request);
        result = dialog.run(path);
    }
    X11Display::release();
    return result;
}

} // namespace platform
