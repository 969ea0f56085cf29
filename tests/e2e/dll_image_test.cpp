// The DLL as the Windows loader sees it: its export directory, import
// directory and sections, read from the mapped image, and the exports found
// both by name and by ordinal.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

struct Export {
    int ordinal;
    const char* name;
};

#ifdef _WIN64
// x64 has one calling convention: every name is plain.
const Export kExports[] = {
    {1, "DllMain"},         {2, "GetMsgProc"},     {3, "GetRememberedWindow"},  {4, "GetSettings"},
    {5, "GetStatistics"},   {6, "InstallHook"},    {7, "JournalPlaybackFunc"},  {8, "KeyboardProc"},
    {9, "LeftStillDown"},   {10, "MouseProc"},     {11, "PressAndHoldCallBack"}, {12, "RemoveHook"},
    {13, "SetStatistics"},  {14, "UpdateSettings"},
};
const WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
#else
const Export kExports[] = {
    {1, "_DllMain@12"},       {2, "_GetMsgProc@12"},  {3, "GetRememberedWindow"},     {4, "GetSettings"},
    {5, "GetStatistics"},     {6, "_InstallHook@8"},  {7, "_JournalPlaybackFunc@12"}, {8, "_KeyboardProc@12"},
    {9, "_LeftStillDown@16"}, {10, "_MouseProc@12"},  {11, "PressAndHoldCallBack"},   {12, "_RemoveHook@0"},
    {13, "SetStatistics"},    {14, "UpdateSettings"},
};
const WORD kMachine = IMAGE_FILE_MACHINE_I386;
#endif

class DllImage : public ::testing::Test {
protected:
    void SetUp() override {
        // Mapped as an image without running its entry point or resolving
        // its imports: the layout is what the loader would use.
        module = ::LoadLibraryExA(e2e::DllPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(module, nullptr) << "cannot map " << e2e::DllPath();
        base = reinterpret_cast<const BYTE*>(module);
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    }
    void TearDown() override {
        if (module) ::FreeLibrary(module);
    }
    template <typename T>
    const T* At(DWORD rva) const {
        return reinterpret_cast<const T*>(base + rva);
    }

    HMODULE module = nullptr;
    const BYTE* base = nullptr;
    const IMAGE_NT_HEADERS* nt = nullptr;
};

TEST_F(DllImage, ExportsExactlyTheFourteenNamesAndOrdinals) {
    EXPECT_EQ(nt->FileHeader.Machine, kMachine);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    auto exports = At<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress);
    EXPECT_STREQ(At<char>(exports->Name), WEXUTIL_DLL_NAME);
    EXPECT_EQ(exports->Base, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 14u);
    ASSERT_EQ(exports->NumberOfNames, 14u);

    auto names = At<DWORD>(exports->AddressOfNames);
    auto ordinals = At<WORD>(exports->AddressOfNameOrdinals);
    std::set<std::pair<int, std::string>> seen;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        seen.insert({static_cast<int>(ordinals[i] + exports->Base), At<char>(names[i])});
    }
    std::set<std::pair<int, std::string>> expected;
    for (const Export& e : kExports) expected.insert({e.ordinal, e.name});
    EXPECT_EQ(seen, expected);
}

TEST_F(DllImage, EntryPointIsDllMain) {
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exports = At<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress);
    auto functions = At<DWORD>(exports->AddressOfFunctions);
    EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, functions[0]) << "ordinal 1 is DllMain";
}

TEST_F(DllImage, ImportsOnlyKernel32User32Advapi32AndMsvcrt) {
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    std::set<std::string> imported;
    for (auto d = At<IMAGE_IMPORT_DESCRIPTOR>(dir.VirtualAddress); d->Name != 0; ++d) {
        std::string name = At<char>(d->Name);
        for (char& c : name) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        imported.insert(name);
    }
    for (const char* required : {"kernel32.dll", "user32.dll", "advapi32.dll"}) {
        EXPECT_EQ(imported.count(required), 1u) << required;
        imported.erase(required);
    }
    imported.erase("msvcrt.dll");
    EXPECT_TRUE(imported.empty()) << "unexpected import " << *imported.begin();
}

// Nothing of the image is shared between the processes that map it: a
// shared section is writable by every one of them, in any session and at
// any integrity level.
TEST_F(DllImage, NoSectionIsShared) {
    auto section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        EXPECT_EQ(section->Characteristics & IMAGE_SCN_MEM_SHARED, 0u)
            << std::string(reinterpret_cast<const char*>(section->Name), 8);
    }
}

TEST(DllExports, EachExportIsFoundByNameAndByOrdinalAtTheSameAddress) {
    HMODULE module = ::LoadLibraryA(e2e::DllPath().c_str());
    ASSERT_NE(module, nullptr);
    for (const Export& e : kExports) {
        FARPROC byName = ::GetProcAddress(module, e.name);
        FARPROC byOrdinal = ::GetProcAddress(module, MAKEINTRESOURCEA(e.ordinal));
        EXPECT_NE(byName, nullptr) << e.name;
        EXPECT_EQ(byName, byOrdinal) << e.name;
    }
    // Only one form of each name is exported.
#ifdef _WIN64
    EXPECT_EQ(::GetProcAddress(module, "_InstallHook@8"), nullptr);
#else
    EXPECT_EQ(::GetProcAddress(module, "InstallHook"), nullptr);
#endif
    EXPECT_EQ(::GetProcAddress(module, "InstallHook@8"), nullptr);
    EXPECT_EQ(::GetProcAddress(module, MAKEINTRESOURCEA(15)), nullptr);
    ::FreeLibrary(module);
}

}  // namespace
