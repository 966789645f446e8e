// Checks the program of an unpacked download as a user meets it, for the package test:
//   release_check <TRILVO.EXE> <version>
// The file's version resource names the product and gives <version> as file and product version
// in its Japanese and English blocks; the program starts from its own folder, its About box shows
// "Version <version>", and Exit ends it with status 0. Exit status 0 when every check passed.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tools/drive.h"

namespace {

constexpr char kProductName[] = "Trilvo";
constexpr char kAboutPrefix[] = "TRILVO  Version ";
// Language and code page of the two string blocks: Japanese (932) and English (1252).
constexpr const char* kStringBlocks[] = {"041103a4", "040904e4"};
constexpr const char* kVersionFields[] = {"FileVersion", "ProductVersion"};
constexpr DWORD kHighWordShift = 16;             // a version number packs two 16-bit parts in a DWORD
constexpr DWORD kLowWordMask = 0xFFFF;

int failures = 0;

void Check(bool ok, const std::string& what) { failures += Report(ok, what.c_str()) ? 0 : 1; }

std::string Text(const std::vector<char>& info, const std::string& block, const char* field)
{
    const std::string key = "\\StringFileInfo\\" + block + "\\" + field;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "";
    return value;
}

std::string FixedVersion(DWORD high, DWORD low)
{
    return std::to_string(high >> kHighWordShift) + "." + std::to_string(high & kLowWordMask) + "." +
           std::to_string(low >> kHighWordShift);
}

void CheckVersionResource(const char* exe, const std::string& version)
{
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(exe, &ignored));
    const bool read = !info.empty() && GetFileVersionInfoA(exe, 0, DWORD(info.size()), info.data());
    Check(read, "version resource present");
    if (!read) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    const bool hasFixed = VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed;
    Check(hasFixed && FixedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS) == version,
          "file version number " + version);
    Check(hasFixed && FixedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS) == version,
          "product version number " + version);
    for (const char* block : kStringBlocks) {
        Check(Text(info, block, "ProductName") == kProductName, std::string(block) + " ProductName Trilvo");
        Check(!Text(info, block, "FileDescription").empty(), std::string(block) + " FileDescription present");
        for (const char* field : kVersionFields)
            Check(Text(info, block, field) == version, std::string(block) + " " + field + " " + version);
    }
}

// The folder of the program, where it is started as from a double click on it.
std::string FolderOf(const char* exe)
{
    const char* separator = std::strrchr(exe, '\\');
    return separator ? std::string(exe, separator) : std::string(".");
}

void CheckAboutBox(const DrivenProgram& program, const std::string& version)
{
    program.PostCommand(IDM_ABOUT);
    HWND box = program.WaitForDialog(kDriveBoundMs);
    char text[512] = {};
    if (box) GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
    std::printf("      About box: %s\n", text);
    const std::string firstLine = std::string(text).substr(0, std::string(text).find('\n'));
    Check(firstLine == kAboutPrefix + version, "About box names version " + version);
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    Check(program.WaitForNoDialog(kDriveBoundMs), "About box closed");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: release_check <TRILVO.EXE> <version>\n");
        return 2;
    }
    const std::string version = argv[2];
    CheckVersionResource(argv[1], version);
    DrivenProgram program;
    const bool started = program.Start(argv[1], "", FolderOf(argv[1]).c_str());
    Check(started, "program started from its folder, main window shown");
    if (started) CheckAboutBox(program, version);
    Check(started && program.Exit(), "program closed with exit status 0");
    return failures ? 1 : 0;
}
