// The headers of a PE image (EXE, DLL or driver) read from its bytes, as a loader sees them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace standins {

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

// Parses `image`; false with a reason in `error` when it is not a well-formed PE image.
bool ReadPeHeaders(const std::string& image, PeHeaders* headers, std::string* error);

}  // namespace standins
