// Reads the built DruselUpdater.exe files (32-bit product and 64-bit test build) back
// and checks what cannot be run here: the machine, that no MinGW runtime DLL is
// needed, and every resource: the dialog template and its 13 controls, the eight icon
// images, the manifest and the version resource, all in language 1033; and the version
// resource of drusel-update.exe of both builds.
//
// The executables' paths come from the build (DRUSEL_WIN32_UPDATER, DRUSEL_WIN64_UPDATER,
// DRUSEL_WIN32_CLI, DRUSEL_WIN64_CLI) or the environment variables of the same names. A
// missing executable skips its tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <string>

#include "dialog_template.h"
#include "pe_image.h"

namespace {

constexpr uint32_t RT_ICON = 3, RT_DIALOG = 5, RT_GROUP_ICON = 14, RT_VERSION = 16, RT_MANIFEST = 24;
constexpr uint32_t ENGLISH_US = 1033;

struct Build {
    const char* name;
    const char* variable;
    const char* configuredPath;
    uint16_t machine;
    uint16_t optionalMagic;
};

const Build BUILDS[] = {
    {"win32", "DRUSEL_WIN32_UPDATER", DRUSEL_WIN32_UPDATER, 0x014C, 0x10B},
    {"win64", "DRUSEL_WIN64_UPDATER", DRUSEL_WIN64_UPDATER, 0x8664, 0x20B},
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.name; }

class UpdaterExecutable : public testing::TestWithParam<Build> {
protected:
    void SetUp() override {
        const char* fromEnvironment = std::getenv(GetParam().variable);
        path = fromEnvironment != nullptr ? fromEnvironment : GetParam().configuredPath;
        std::string error;
        if (!ReadPeImage(path, image, error)) {
            GTEST_SKIP() << GetParam().name << " executable not built (" << error
                         << "); build the preset first (script/test does).";
        }
    }

    const PeResource& Resource(uint32_t type, const std::string& name) {
        const PeResource* resource = FindResource(image, type, name);
        if (resource == nullptr) throw std::runtime_error("missing resource " + std::to_string(type) + "/" + name);
        return *resource;
    }

    std::string path;
    PeImage image;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST_P(UpdaterExecutable, IsAGuiProgramForItsMachine) {
    EXPECT_EQ(image.machine, GetParam().machine);
    EXPECT_EQ(image.optionalMagic, GetParam().optionalMagic) << "PE32 for the 32-bit build, PE32+ for 64";
    EXPECT_EQ(image.subsystem, 2) << "Windows GUI subsystem (-mwindows)";
}

TEST_P(UpdaterExecutable, ImportsOnlyWindowsSystemDlls) {
    const std::string allowed[] = {"kernel32.dll", "user32.dll", "gdi32.dll",  "comctl32.dll", "comdlg32.dll",
                                   "msvcrt.dll",   "advapi32.dll", "shell32.dll", "ntdll.dll"};
    ASSERT_FALSE(image.importedDlls.empty());
    for (const std::string& dll : image.importedDlls) {
        const std::string name = Lower(dll);
        EXPECT_EQ(name.find("libgcc"), std::string::npos) << dll;
        EXPECT_EQ(name.find("libstdc++"), std::string::npos) << dll;
        EXPECT_EQ(name.find("libwinpthread"), std::string::npos) << dll;
        EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), name), std::end(allowed))
            << dll << " is not a Windows system DLL";
    }
}

TEST_P(UpdaterExecutable, EveryResourceIsInEnglishUnitedStates) {
    ASSERT_FALSE(image.resources.empty());
    for (const PeResource& r : image.resources) {
        EXPECT_EQ(r.language, ENGLISH_US) << "resource type " << r.type << " name " << r.name;
    }
    EXPECT_NE(FindResource(image, RT_MANIFEST, "#1"), nullptr);
    EXPECT_NE(FindResource(image, RT_VERSION, "#1"), nullptr);
}

TEST_P(UpdaterExecutable, DialogTemplateHasTheDesignedLayout) {
    DialogTemplate dialog{};
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(Resource(RT_DIALOG, "#129").data, dialog, error)) << error;
    EXPECT_EQ(dialog.version, 1);
    EXPECT_EQ(dialog.signature, 0xFFFF);
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(dialog.style, 0x90C80048u);
    EXPECT_EQ(dialog.exStyle, 0x00040080u);
    EXPECT_EQ(dialog.itemCount, 13);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 278);
    EXPECT_EQ(dialog.cy, 150);
    EXPECT_FALSE(dialog.menu.isOrdinal);
    EXPECT_EQ(dialog.menu.text, "") << "no menu";
    EXPECT_FALSE(dialog.windowClass.isOrdinal);
    EXPECT_EQ(dialog.windowClass.text, "") << "the standard dialog class";
    EXPECT_EQ(dialog.title, "Drusel Firmware Update Utility v1.0");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 1);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");
}

struct ExpectedControl {
    int32_t id;
    uint16_t classAtom;      // 0x80 Button, 0x81 Edit, 0x82 Static; 0 for a class given by name
    const char* className;   // the class by name, exactly as written
    const char* text;
    uint32_t style;
    int16_t x, y, cx, cy;
};

constexpr uint16_t BUTTON = 0x80, EDIT = 0x81, STATIC = 0x82;
constexpr uint32_t LABEL = 0x50020000;

const ExpectedControl CONTROLS[] = {
    {1, BUTTON, "", "Update!", 0x50010001, 83, 126, 50, 14},
    {2, BUTTON, "", "Cancel", 0x50010000, 140, 126, 50, 14},
    {-1, STATIC, "",
     "Use this to update your Drusel Hardware firmware. Only use an image file provided by the manufacturer. ", LABEL,
     7, 34, 264, 18},
    {-1, STATIC, "",
     "WARNING: Attempting to update the firmware with an unapproved file may render the device unusable. Update at "
     "your own risk!",
     LABEL, 7, 58, 264, 17},
    {-1, STATIC, "", "Image File:", LABEL, 7, 84, 37, 8},
    {2745, EDIT, "", "", 0x50810080, 48, 82, 204, 12},
    {2746, BUTTON, "", "...", 0x50010000, 256, 81, 15, 12},
    {-1, STATIC, "", "Current Firmware Version:", LABEL, 7, 18, 85, 8},
    {2747, STATIC, "", "Not Found!", 0x50021001, 95, 18, 126, 10},
    {2777, 0, "msctls_progress32", "", 0x50800001, 22, 107, 233, 9},
    {-1, STATIC, "", "Firmware Update Progress...", LABEL, 91, 98, 94, 8},
    {-1, STATIC, "", "Hardware Description:", LABEL, 7, 7, 72, 8},
    {1000, STATIC, "", "Not Found!", 0x50021201, 95, 7, 125, 10},
};

TEST_P(UpdaterExecutable, ControlsAreTheDesignedOnesInTemplateOrder) {
    DialogTemplate dialog{};
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(Resource(RT_DIALOG, "#129").data, dialog, error)) << error;
    ASSERT_EQ(dialog.items.size(), std::size(CONTROLS));
    for (size_t i = 0; i < std::size(CONTROLS); ++i) {
        const ExpectedControl& want = CONTROLS[i];
        const DialogItem& got = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ(got.id, want.id);
        if (want.classAtom != 0) {
            EXPECT_TRUE(got.windowClass.isOrdinal) << "class named by its predefined atom";
            EXPECT_EQ(got.windowClass.ordinal, want.classAtom);
        } else {
            EXPECT_FALSE(got.windowClass.isOrdinal);
            EXPECT_EQ(got.windowClass.text, want.className) << "class name keeps its case";
        }
        EXPECT_FALSE(got.title.isOrdinal);
        EXPECT_EQ(got.title.text, want.text);
        EXPECT_EQ(got.style, want.style) << std::hex << got.style;
        EXPECT_EQ(got.exStyle, 0u);
        EXPECT_EQ(got.helpId, 0u);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.extraCount, 0);
    }
}

struct ExpectedIcon {
    uint8_t size;
    uint16_t bitCount;
};

const ExpectedIcon ICONS[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? static_cast<uint16_t>(b[at] | b[at + 1] << 8) : 0;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16; }

TEST_P(UpdaterExecutable, IconGroupHasEightUncompressedImagesInOrder) {
    const std::vector<uint8_t>& group = Resource(RT_GROUP_ICON, "#107").data;
    ASSERT_GE(group.size(), 6u + 14u * std::size(ICONS));
    EXPECT_EQ(Le16(group, 0), 0);  // reserved
    EXPECT_EQ(Le16(group, 2), 1);  // icons, not cursors
    ASSERT_EQ(Le16(group, 4), std::size(ICONS));
    for (size_t i = 0; i < std::size(ICONS); ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const size_t entry = 6 + 14 * i;
        const ExpectedIcon& want = ICONS[i];
        EXPECT_EQ(group[entry], want.size);      // width
        EXPECT_EQ(group[entry + 1], want.size);  // height
        EXPECT_EQ(group[entry + 2], want.bitCount == 4 ? 16 : 0) << "colour count";
        EXPECT_EQ(Le16(group, entry + 4), 1) << "planes";
        EXPECT_EQ(Le16(group, entry + 6), want.bitCount);
        const uint16_t iconId = Le16(group, entry + 12);

        const std::vector<uint8_t>& bitmap = Resource(RT_ICON, "#" + std::to_string(iconId)).data;
        EXPECT_EQ(Le32(group, entry + 8), bitmap.size()) << "bytes in resource";
        ASSERT_GE(bitmap.size(), 40u);
        EXPECT_NE(Le32(bitmap, 0), 0x474E5089u) << "a PNG image";
        EXPECT_EQ(Le32(bitmap, 0), 40u) << "BITMAPINFOHEADER";
        EXPECT_EQ(Le32(bitmap, 4), want.size);
        EXPECT_EQ(Le32(bitmap, 8), 2u * want.size) << "XOR and AND masks";
        EXPECT_EQ(Le16(bitmap, 14), want.bitCount);
        EXPECT_EQ(Le32(bitmap, 16), 0u) << "BI_RGB: uncompressed";
    }
}

bool Contains(const std::vector<uint8_t>& data, const std::string& text) {
    return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
}

std::string Utf16(const std::string& text) {
    std::string wide;
    for (char c : text) {
        wide.push_back(c);
        wide.push_back('\0');
    }
    return wide;
}

TEST_P(UpdaterExecutable, ManifestAsksForCommonControls6AsInvokerAndDpiAwareness) {
    const std::vector<uint8_t>& manifest = Resource(RT_MANIFEST, "#1").data;
    EXPECT_TRUE(Contains(manifest, "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") ||
                (Contains(manifest, "Microsoft.Windows.Common-Controls") && Contains(manifest, "version=\"6.0.0.0\"")));
    EXPECT_TRUE(Contains(manifest, "level=\"asInvoker\""));
    EXPECT_TRUE(Contains(manifest, "<dpiAware"));
    EXPECT_TRUE(Contains(manifest, "<dpiAwareness"));
    EXPECT_TRUE(Contains(manifest, "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")) << "Windows 10 and 11";
    EXPECT_TRUE(Contains(manifest, "35138b9a-5d96-4fbd-8e2d-a2440225f93a")) << "Windows 7";
}

std::string BuildName(const testing::TestParamInfo<Build>& build) { return build.param.name; }

INSTANTIATE_TEST_SUITE_P(Builds, UpdaterExecutable, testing::ValuesIn(BUILDS), BuildName);

// Every program users get carries the project's version in its version resource, the
// same one --version and the package names show.
struct Program {
    const char* name;
    const char* variable;
    const char* configuredPath;
};

const Program PROGRAMS[] = {
    {"DruselUpdater_win32", "DRUSEL_WIN32_UPDATER", DRUSEL_WIN32_UPDATER},
    {"DruselUpdater_win64", "DRUSEL_WIN64_UPDATER", DRUSEL_WIN64_UPDATER},
    {"drusel_update_win32", "DRUSEL_WIN32_CLI", DRUSEL_WIN32_CLI},
    {"drusel_update_win64", "DRUSEL_WIN64_CLI", DRUSEL_WIN64_CLI},
};

void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

class ProgramVersion : public testing::TestWithParam<Program> {
protected:
    void SetUp() override {
        const char* fromEnvironment = std::getenv(GetParam().variable);
        const std::string path = fromEnvironment != nullptr ? fromEnvironment : GetParam().configuredPath;
        std::string error;
        if (!ReadPeImage(path, image, error))
            GTEST_SKIP() << GetParam().name << " not built (" << error << "); build its preset first.";
    }
    PeImage image;
};

// The value of a string in a version resource: the UTF-16 key and its terminator, zero
// padding to 32 bits, then the value up to its terminator. Empty when the key is absent.
std::string VersionString(const std::vector<uint8_t>& data, const std::string& key) {
    const std::string needle = Utf16(key) + std::string(2, '\0');
    const auto found = std::search(data.begin(), data.end(), needle.begin(), needle.end());
    if (found == data.end()) return "";
    size_t at = static_cast<size_t>(found - data.begin()) + needle.size();
    while (at + 1 < data.size() && data[at] == 0 && data[at + 1] == 0) at += 2;
    std::string value;
    for (; at + 1 < data.size() && (data[at] != 0 || data[at + 1] != 0); at += 2) value.push_back(static_cast<char>(data[at]));
    return value;
}

TEST_P(ProgramVersion, VersionResourceNamesTheProductAndTheProjectVersion) {
    const PeResource* resource = FindResource(image, RT_VERSION, "#1");
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->language, ENGLISH_US);
    const std::vector<uint8_t>& version = resource->data;
    EXPECT_EQ(VersionString(version, "ProductName"), "Drusel Firmware Update Utility");
    EXPECT_EQ(VersionString(version, "ProductVersion"), DRUSEL_VERSION_TEXT);
    EXPECT_EQ(VersionString(version, "FileVersion"), DRUSEL_VERSION_TEXT);
    EXPECT_EQ(VersionString(version, "CompanyName"), "Drusel");
    EXPECT_TRUE(Contains(version, Utf16("040904B0")) || Contains(version, Utf16("040904b0")));
    // VS_FIXEDFILEINFO: signature, then file and product versions, major.minor and patch.tweak.
    const uint8_t fixedSignature[] = {0xBD, 0x04, 0xEF, 0xFE};  // 0xFEEF04BD
    const auto at = std::search(version.begin(), version.end(), std::begin(fixedSignature), std::end(fixedSignature));
    ASSERT_NE(at, version.end());
    const size_t offset = static_cast<size_t>(at - version.begin());
    const uint32_t high = DRUSEL_VERSION_MAJOR << 16 | DRUSEL_VERSION_MINOR;
    const uint32_t low = DRUSEL_VERSION_PATCH << 16 | DRUSEL_VERSION_TWEAK;
    EXPECT_EQ(Le32(version, offset + 8), high) << "file version";
    EXPECT_EQ(Le32(version, offset + 12), low);
    EXPECT_EQ(Le32(version, offset + 16), high) << "product version";
    EXPECT_EQ(Le32(version, offset + 20), low);
}

std::string ProgramName(const testing::TestParamInfo<Program>& program) { return program.param.name; }

INSTANTIATE_TEST_SUITE_P(Programs, ProgramVersion, testing::ValuesIn(PROGRAMS), ProgramName);

}  // namespace
