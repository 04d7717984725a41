// Reads the built executable's resources back and checks them field by field.
// Runs on Windows (or Wine) from the folder that holds plintor-rename.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr WORD kRussian = 0x0419;

struct Module {
    HMODULE handle = LoadLibraryExA("plintor-rename.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~Module() {
        if (handle) FreeLibrary(handle);
    }
};

std::vector<unsigned char> ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    HRSRC found = FindResourceExA(module, type, name, language);
    if (!found) return {};
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    return std::vector<unsigned char>(data, data + SizeofResource(module, found));
}

// Walks a resource's bytes in the template's little-endian layout.
struct Reader {
    const std::vector<unsigned char>& bytes;
    std::size_t at = 0;

    uint32_t Number(std::size_t size) {
        uint32_t value = 0;
        for (std::size_t i = 0; i < size && at + i < bytes.size(); ++i)
            value |= uint32_t{bytes[at + i]} << (8 * i);
        at += size;
        return value;
    }
    uint16_t Word() { return static_cast<uint16_t>(Number(2)); }
    uint32_t Dword() { return Number(4); }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    // A zero-terminated UTF-16 string; ASCII is all a template here holds.
    std::string Text() {
        std::string text;
        for (uint16_t c = Word(); c != 0 && at <= bytes.size(); c = Word())
            text += static_cast<char>(c);
        return text;
    }
    // sz_Or_Ord: an ordinal as "#N", or a string.
    std::string NameOrOrdinal() {
        if (at + 1 < bytes.size() && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
            at += 2;
            return "#" + std::to_string(Word());
        }
        return Text();
    }
    void AlignDword() { at = (at + 3) & ~std::size_t{3}; }
};

struct Control {
    uint32_t helpId, exStyle, style;
    int16_t x, y, cx, cy;
    uint32_t id;
    std::string windowClass, text;
    uint16_t extraBytes;
};

TEST(ResourceTest, DialogTemplateMatchesTheLayout) {
    Module module;
    ASSERT_NE(module.handle, nullptr);
    const std::vector<unsigned char> bytes =
        ResourceBytes(module.handle, RT_DIALOG, MAKEINTRESOURCEA(102), kRussian);
    ASSERT_FALSE(bytes.empty()) << "dialog 102 in language 0x0419";
    Reader r{bytes};
    EXPECT_EQ(r.Word(), 1) << "version";
    EXPECT_EQ(r.Word(), 0xFFFF) << "extended template signature";
    EXPECT_EQ(r.Dword(), 0u) << "help id";
    EXPECT_EQ(r.Dword(), 0x00010000u) << "extended style";
    EXPECT_EQ(r.Dword(), 0x80CA08CCu) << "style";
    EXPECT_EQ(r.Word(), 4) << "controls";
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 221);
    EXPECT_EQ(r.Short(), 61);
    EXPECT_EQ(r.NameOrOrdinal(), "") << "menu";
    EXPECT_EQ(r.NameOrOrdinal(), "") << "window class";
    EXPECT_EQ(r.Text(), "Plintor Rename");
    EXPECT_EQ(r.Word(), 8) << "point size";
    EXPECT_EQ(r.Word(), 0) << "weight";
    EXPECT_EQ(r.Number(1), 0u) << "italic";
    EXPECT_EQ(r.Number(1), 0u) << "character set";
    EXPECT_EQ(r.Text(), "MS Shell Dlg");

    const Control expected[] = {
        {0, 0, 0x50010001, 46, 41, 50, 16, 1, "#128", "OK", 0},
        {0, 0, 0x50010000, 123, 41, 50, 16, 2, "#128", "Cancel", 0},
        {0, 0, 0x50810080, 4, 17, 212, 12, 201, "#129", "", 0},
        {0, 0, 0x50020000, 4, 5, 217, 8, 100, "#130", "Rename  \"\" to", 0},
    };
    for (const Control& want : expected) {
        SCOPED_TRACE(want.id);
        r.AlignDword();
        EXPECT_EQ(r.Dword(), want.helpId);
        EXPECT_EQ(r.Dword(), want.exStyle);
        EXPECT_EQ(r.Dword(), want.style);
        EXPECT_EQ(r.Short(), want.x);
        EXPECT_EQ(r.Short(), want.y);
        EXPECT_EQ(r.Short(), want.cx);
        EXPECT_EQ(r.Short(), want.cy);
        EXPECT_EQ(r.Dword(), want.id);
        EXPECT_EQ(r.NameOrOrdinal(), want.windowClass);
        EXPECT_EQ(r.NameOrOrdinal(), want.text);
        EXPECT_EQ(r.Word(), want.extraBytes);
    }
    EXPECT_EQ(r.at, bytes.size()) << "nothing after the last control";
}

TEST(ResourceTest, IconIsOne32By32SixteenColourImage) {
    Module module;
    ASSERT_NE(module.handle, nullptr);
    const std::vector<unsigned char> group =
        ResourceBytes(module.handle, RT_GROUP_ICON, "MAINICON", kRussian);
    ASSERT_EQ(group.size(), 6u + 14u) << "one entry";
    Reader g{group};
    EXPECT_EQ(g.Word(), 0);
    EXPECT_EQ(g.Word(), 1) << "icon type";
    EXPECT_EQ(g.Word(), 1) << "images";
    EXPECT_EQ(g.Number(1), 32u);
    EXPECT_EQ(g.Number(1), 32u);
    EXPECT_EQ(g.Number(1), 16u) << "colours";
    EXPECT_EQ(g.Number(1), 0u);
    EXPECT_EQ(g.Word(), 1) << "planes";
    EXPECT_EQ(g.Word(), 4) << "bits per pixel";
    const uint32_t imageBytes = g.Dword();
    EXPECT_EQ(g.Word(), 1) << "icon id";

    const std::vector<unsigned char> image =
        ResourceBytes(module.handle, RT_ICON, MAKEINTRESOURCEA(1), kRussian);
    // Header, 16-entry palette, 4-bit colour rows, 1-bit mask rows.
    ASSERT_EQ(image.size(), 40u + 16 * 4 + 32 * 16 + 32 * 4);
    EXPECT_EQ(image.size(), imageBytes);
    Reader h{image};
    EXPECT_EQ(h.Dword(), 40u);
    EXPECT_EQ(h.Dword(), 32u) << "width";
    EXPECT_EQ(h.Dword(), 64u) << "height of colour and mask";
    EXPECT_EQ(h.Word(), 1);
    EXPECT_EQ(h.Word(), 4);
    EXPECT_EQ(h.Dword(), 0u) << "uncompressed";

    // The picture: a blue body and a label of red and white stripes.
    auto colourAt = [&](int x, int y) {
        const std::size_t row = static_cast<std::size_t>(31 - y);
        const unsigned char pair = image[40 + 64 + row * 16 + static_cast<std::size_t>(x) / 2];
        const unsigned index = (x % 2 == 0) ? pair >> 4 : pair & 0x0F;
        const unsigned char* quad = &image[40 + index * 4];
        return (uint32_t{quad[2]} << 16) | (uint32_t{quad[1]} << 8) | quad[0];
    };
    int blue = 0, red = 0, white = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint32_t rgb = colourAt(x, y);
            blue += rgb == 0x0000FF;
            red += rgb == 0xFF0000;
            white += rgb == 0xFFFFFF;
        }
    }
    EXPECT_GT(blue, 200) << "a blue diskette";
    EXPECT_GT(red, 60) << "red stripes";
    EXPECT_GT(white, 60) << "white stripes";
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR context) {
    reinterpret_cast<std::vector<uintptr_t>*>(context)->push_back(reinterpret_cast<uintptr_t>(type));
    return TRUE;
}

TEST(ResourceTest, NoMenuStringTableOrVersion) {
    Module module;
    ASSERT_NE(module.handle, nullptr);
    std::vector<uintptr_t> types;
    EnumResourceTypesA(module.handle, CollectType, reinterpret_cast<LONG_PTR>(&types));
    for (uintptr_t type : types) {
        EXPECT_TRUE(IS_INTRESOURCE(type)) << "only predefined types";
        EXPECT_NE(type, reinterpret_cast<uintptr_t>(RT_MENU));
        EXPECT_NE(type, reinterpret_cast<uintptr_t>(RT_STRING));
        EXPECT_NE(type, reinterpret_cast<uintptr_t>(RT_VERSION));
    }
    EXPECT_GE(types.size(), 3u) << "icon, dialog, icon group";
}

} // namespace

namespace {

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR context) {
    ++*reinterpret_cast<int*>(context);
    return TRUE;
}

TEST(ResourceTest, OneManifestDeclaringStylesDpiUtf8AndLongPaths) {
    Module module;
    ASSERT_NE(module.handle, nullptr);
    int manifests = 0;
    EnumResourceNamesA(module.handle, RT_MANIFEST, CountName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1) << "ours only, not the toolchain's as well";
    const std::vector<unsigned char> bytes =
        ResourceBytes(module.handle, RT_MANIFEST, MAKEINTRESOURCEA(1), 0);
    ASSERT_FALSE(bytes.empty()) << "manifest 1, language neutral";
    const std::string manifest(bytes.begin(), bytes.end());
    const char* required[] = {
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "<requestedExecutionLevel level=\"asInvoker\"",
        "WindowsSettings\">true/PM</dpiAware>",
        "WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>",
        "WindowsSettings\">UTF-8</activeCodePage>",
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // Windows 10 and 11
    };
    for (const char* element : required)
        EXPECT_NE(manifest.find(element), std::string::npos) << element;
}

} // namespace
