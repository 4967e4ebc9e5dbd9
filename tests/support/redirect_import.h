#pragma once

#include <windows.h>

#include <string_view>

namespace velkaro::tests {

// Points this program's import of `function` from `dll` at `replacement`, and
// returns what it pointed at: the program's calls to it go there instead.
inline void* RedirectImport(const char* dll, const char* function, void* replacement) {
  auto* const base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
  const auto* const headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* each = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       each->Name != 0; ++each) {
    if (::lstrcmpiA(reinterpret_cast<const char*>(base + each->Name), dll) != 0) {
      continue;
    }
    auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + each->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + each->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
          std::string_view(reinterpret_cast<const char*>(
              reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name)) !=
              function) {
        continue;
      }
      DWORD protection = 0;
      ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      void* const original = reinterpret_cast<void*>(slot->u1.Function);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return original;
    }
  }
  return nullptr;
}

}  // namespace velkaro::tests
