// The DLL as the Windows loader maps and resolves it.  The file itself (the
// export table's names and ordinals, the imports, the sections) is checked
// without Wine by check_dll_image.py; here the loader's view: every name of
// the export directory and its ordinal resolve to one address, the names a
// controlling program asks for through wexutil_loader.h are all there, and
// the entry point is ordinal 1.
#include <gtest/gtest.h>

#include <string>

#include "e2e_support.h"

namespace {

TEST(DllImage, EveryExportResolvesByNameAndByOrdinalAndTheEntryPointIsOrdinalOne) {
    HMODULE module = ::LoadLibraryA(e2e::DllPath().c_str());
    ASSERT_NE(module, nullptr) << "cannot load " << e2e::DllPath();
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), WEXUTIL_DLL_NAME);
    ASSERT_EQ(exports->NumberOfNames, 15u);
    auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    auto ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const char* name = reinterpret_cast<const char*>(base + names[i]);
        const WORD ordinal = static_cast<WORD>(ordinals[i] + exports->Base);
        FARPROC byName = ::GetProcAddress(module, name);
        EXPECT_NE(byName, nullptr) << name;
        EXPECT_EQ(byName, ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal))) << name;
        if (ordinal == 1) {
            EXPECT_EQ(reinterpret_cast<const BYTE*>(byName), base + nt->OptionalHeader.AddressOfEntryPoint)
                << "ordinal 1 is not the entry point";
        }
    }
    EXPECT_EQ(::GetProcAddress(module, MAKEINTRESOURCEA(16)), nullptr);
    // The names controlling programs use, decorated or not as the build is.
    e2e::Library lib;
    EXPECT_TRUE(lib.Resolve(module)) << "a name of wexutil_loader.h is missing";
    ::FreeLibrary(module);
}

}  // namespace
