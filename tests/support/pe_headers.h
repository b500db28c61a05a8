// The headers of a PE image file (EXE, DLL or driver), as a loader sees them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testenv {

struct PeHeaders {
    WORD machine = 0;               // IMAGE_FILE_MACHINE_*
    WORD magic = 0;                 // IMAGE_NT_OPTIONAL_HDR32_MAGIC or ..._HDR64_MAGIC
    WORD characteristics = 0;       // IMAGE_FILE_*
    WORD subsystem = 0;             // IMAGE_SUBSYSTEM_*
    WORD dllCharacteristics = 0;    // IMAGE_DLLCHARACTERISTICS_*
    DWORD entryPoint = 0;           // RVA
    std::vector<std::string> importedDlls;
    std::vector<std::string> exportedNames;
};

// Reads the file at `path`; false with a reason in `error` when it cannot be read or is not a
// well-formed PE image.
bool ReadPeHeaders(const std::wstring& path, PeHeaders* headers, std::string* error);

}  // namespace testenv
