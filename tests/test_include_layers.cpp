// The folders are layers: the DSP at the bottom, the effect core and the
// operating-system seam above it, the editor above those, and one thin
// folder per plug-in format on top, none of which knows another. The test
// reads the sources' #include lines as text and follows them through our own
// headers, so a layer cannot reach a higher one by way of a neighbour either.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const std::set<std::string> kCore = {"dsp", "resources", "platform", "effect", "presets"};
const std::set<std::string> kEditorSide = {"gui", "editor"};
// host/ is the VST 2.4 binding.
const std::set<std::string> kFormats = {"host", "lv2", "vst3", "clap"};

// Which of our folders each folder may reach through its includes.
std::map<std::string, std::set<std::string>> allowedFolders()
{
    std::map<std::string, std::set<std::string>> allowed = {
        {"dsp", {"dsp"}},
        {"resources", {"resources"}},
        {"platform", {"platform", "resources"}},
        // The program store belongs to the core; the preset bar beside it in
        // presets/ is drawn with the toolkit.
        {"effect", {"dsp", "resources", "platform", "effect", "presets"}},
        {"presets", {"dsp", "resources", "platform", "effect", "presets", "gui"}},
        {"gui", {"gui", "platform", "resources"}},
        {"editor", {"dsp", "resources", "platform", "effect", "presets", "gui", "editor"}},
    };
    for (const std::string& format : kFormats)
    {
        std::set<std::string> reach = kCore;
        reach.insert(kEditorSide.begin(), kEditorSide.end());
        reach.insert(format);
        allowed[format] = reach;
    }
    return allowed;
}

// Folders of the tree that are not layers of the plug-in: programs around it,
// its tests, benchmarks, build files.
const std::set<std::string> kOutsideLayers = {"tests", "tools", "bench", "cmake", "docs"};

// Include lines a layer may have against the rules, each with the reason it
// cannot go. Each is followed by nothing (what lies behind it is not
// checked), so the list must only shrink.
struct Exception
{
    const char* file;
    const char* included;
};
// None: the editor and the toolkit know no plug-in format.
const std::vector<Exception> kExceptions = {};

bool isException(const std::string& file, const std::string& included)
{
    return std::any_of(std::begin(kExceptions), std::end(kExceptions),
                       [&](const Exception& e) { return file == e.file && included == e.included; });
}

struct Include
{
    int line;
    std::string target; // as written: "folder/file.h" or a system header
    bool system;
};

struct SourceTree
{
    fs::path root;
    // Path relative to root -> its include lines.
    std::map<std::string, std::vector<Include>> files;
};

std::string topFolder(const std::string& relative) { return relative.substr(0, relative.find('/')); }

bool isSource(const fs::path& path)
{
    const std::string extension = path.extension().string();
    return extension == ".h" || extension == ".cpp" || extension == ".c" || extension == ".hpp";
}

std::vector<Include> readIncludes(const fs::path& path)
{
    static const std::regex includeLine(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> includes;
    std::ifstream in(path);
    std::string text;
    for (int line = 1; std::getline(in, text); ++line)
    {
        std::smatch match;
        if (std::regex_search(text, match, includeLine))
            includes.push_back({line, match[2].str(), match[1].str() == "<"});
    }
    return includes;
}

SourceTree readTree(const fs::path& root)
{
    SourceTree tree{root, {}};
    for (const fs::directory_entry& top : fs::directory_iterator(root))
    {
        const std::string name = top.path().filename().string();
        if (!top.is_directory() || name[0] == '.' || name.rfind("build", 0) == 0 || kOutsideLayers.count(name))
            continue;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top.path()))
            if (entry.is_regular_file() && isSource(entry.path()))
                tree.files[fs::relative(entry.path(), root).generic_string()] = readIncludes(entry.path());
    }
    return tree;
}

// Every file of ours that `start` reaches, with the first chain that leads there.
std::map<std::string, std::string> reachable(const SourceTree& tree, const std::string& start)
{
    std::map<std::string, std::string> chains = {{start, start}};
    std::vector<std::string> pending = {start};
    while (!pending.empty())
    {
        const std::string file = pending.back();
        pending.pop_back();
        auto found = tree.files.find(file);
        if (found == tree.files.end())
            continue;
        for (const Include& include : found->second)
        {
            if (include.system || isException(file, include.target) || !tree.files.count(include.target))
                continue;
            if (chains.emplace(include.target, chains[file] + " -> " + include.target).second)
                pending.push_back(include.target);
        }
    }
    return chains;
}

// System headers that belong to one folder: the window systems' to the
// platform seam, each format's to its adapter.
std::string ownerOfSystemHeader(const std::string& header)
{
    static const char* const windowSystem[] = {"windows.h", "windowsx.h", "ole2.h", "commdlg.h", "shlobj.h"};
    if (header.rfind("X11/", 0) == 0 ||
        std::find(std::begin(windowSystem), std::end(windowSystem), header) != std::end(windowSystem))
        return "platform";
    if (header.rfind("lv2/", 0) == 0)
        return "lv2";
    return "";
}

class IncludeLayers : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { tree = new SourceTree(readTree(ZELVO_SOURCE_DIR)); }
    static void TearDownTestSuite()
    {
        delete tree;
        tree = nullptr;
    }
    static SourceTree* tree;
};
SourceTree* IncludeLayers::tree = nullptr;

TEST_F(IncludeLayers, EveryFolderOfTheTreeIsALayerWithRules)
{
    const auto allowed = allowedFolders();
    ASSERT_GT(tree->files.size(), 100u) << "the sources were not found at " << ZELVO_SOURCE_DIR;
    for (const auto& [file, includes] : tree->files)
        EXPECT_TRUE(allowed.count(topFolder(file)))
            << file << ": its folder has no place among the layers; add it to the rules of this test";
}

// Each file's includes, followed through our own headers, stay within the
// folders its layer may use.
TEST_F(IncludeLayers, NoFolderReachesALayerAboveIt)
{
    const auto allowed = allowedFolders();
    for (const auto& [file, includes] : tree->files)
    {
        auto rule = allowed.find(topFolder(file));
        if (rule == allowed.end())
            continue;
        for (const Include& include : includes)
        {
            if (include.system || isException(file, include.target))
                continue;
            for (const auto& [reached, chain] : reachable(*tree, include.target))
                if (!rule->second.count(topFolder(reached)) && tree->files.count(reached))
                    ADD_FAILURE() << file << ":" << include.line << ": " << topFolder(file) << "/ may not reach "
                                  << topFolder(reached) << "/ (" << chain << ")";
        }
    }
}

TEST_F(IncludeLayers, WindowSystemAndFormatHeadersStayInTheirFolders)
{
    for (const auto& [file, includes] : tree->files)
        for (const Include& include : includes)
        {
            if (!include.system)
                continue;
            const std::string owner = ownerOfSystemHeader(include.target);
            if (!owner.empty() && topFolder(file) != owner)
                ADD_FAILURE() << file << ":" << include.line << ": <" << include.target << "> belongs in " << owner
                              << "/";
        }
}

// The list of exceptions only shrinks: an entry whose include line is gone
// must leave the list, so it cannot quietly cover a new one.
TEST_F(IncludeLayers, EveryExceptionIsStillNeeded)
{
    for (const Exception& exception : kExceptions)
    {
        auto found = tree->files.find(exception.file);
        const bool present = found != tree->files.end() &&
                             std::any_of(found->second.begin(), found->second.end(),
                                         [&](const Include& include) { return include.target == exception.included; });
        EXPECT_TRUE(present) << exception.file << " no longer includes " << exception.included
                             << ": remove it from the exceptions";
    }
}

// The check itself: a forbidden include, direct or behind a neighbour's
// header, is seen and named with its file and line.
TEST(IncludeLayerRules, AForbiddenIncludeIsFoundDirectlyAndThroughAnotherHeader)
{
    const fs::path root = fs::temp_directory_path() / ("zelvo-layers-" + std::to_string(std::random_device{}()));
    fs::create_directories(root / "effect");
    fs::create_directories(root / "presets");
    fs::create_directories(root / "gui");
    std::ofstream(root / "effect/Core.h") << "#pragma once\n#include \"presets/Bank.h\"\n";
    std::ofstream(root / "presets/Bank.h") << "#pragma once\n\n#include \"gui/cview.h\"\n";
    std::ofstream(root / "gui/cview.h") << "#pragma once\n";
    const SourceTree tree = readTree(root);
    fs::remove_all(root);

    ASSERT_EQ(tree.files.size(), 3u);
    ASSERT_EQ(tree.files.at("presets/Bank.h").size(), 1u);
    EXPECT_EQ(tree.files.at("presets/Bank.h")[0].line, 3);
    const auto chains = reachable(tree, "presets/Bank.h");
    ASSERT_TRUE(chains.count("gui/cview.h"));
    EXPECT_EQ(chains.at("gui/cview.h"), "presets/Bank.h -> gui/cview.h");
    EXPECT_FALSE(allowedFolders().at("effect").count("gui"));
}

} // namespace
