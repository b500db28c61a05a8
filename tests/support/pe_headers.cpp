#include "pe_headers.h"

#include <cstring>

#include "test_env.h"

namespace testenv {

namespace {

struct Section {
    DWORD rva;
    DWORD size;
    DWORD fileOffset;
    DWORD fileSize;
};

class ImageReader {
public:
    ImageReader(const std::string& bytes) : m_bytes(bytes) {}

    template <typename T>
    bool At(size_t offset, T* out) const {
        if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T)) return false;
        std::memcpy(out, m_bytes.data() + offset, sizeof(T));
        return true;
    }

    // The file offset of an RVA, through the section table.
    bool Offset(DWORD rva, const std::vector<Section>& sections, size_t* offset) const {
        for (const Section& s : sections) {
            if (rva >= s.rva && rva - s.rva < s.size && rva - s.rva < s.fileSize) {
                *offset = s.fileOffset + (rva - s.rva);
                return *offset < m_bytes.size();
            }
        }
        return false;
    }

    bool String(size_t offset, std::string* out) const {
        out->clear();
        for (size_t i = offset; i < m_bytes.size(); ++i) {
            if (m_bytes[i] == 0) return true;
            out->push_back(m_bytes[i]);
        }
        return false;
    }

private:
    const std::string& m_bytes;
};

bool ReadImports(const ImageReader& image, const std::vector<Section>& sections,
                 IMAGE_DATA_DIRECTORY dir, PeHeaders* headers, std::string* error) {
    if (dir.VirtualAddress == 0) return true;
    size_t at = 0;
    if (!image.Offset(dir.VirtualAddress, sections, &at)) {
        *error = "import directory outside the sections";
        return false;
    }
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR desc;
        if (!image.At(at, &desc)) {
            *error = "truncated import directory";
            return false;
        }
        if (desc.Name == 0) return true;
        size_t nameAt = 0;
        std::string name;
        if (!image.Offset(desc.Name, sections, &nameAt) || !image.String(nameAt, &name)) {
            *error = "bad import name";
            return false;
        }
        headers->importedDlls.push_back(name);
    }
}

bool ReadExports(const ImageReader& image, const std::vector<Section>& sections,
                 IMAGE_DATA_DIRECTORY dir, PeHeaders* headers, std::string* error) {
    if (dir.VirtualAddress == 0) return true;
    size_t at = 0;
    IMAGE_EXPORT_DIRECTORY exports;
    if (!image.Offset(dir.VirtualAddress, sections, &at) || !image.At(at, &exports)) {
        *error = "bad export directory";
        return false;
    }
    for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
        size_t slot = 0;
        DWORD nameRva = 0;
        size_t nameAt = 0;
        std::string name;
        if (!image.Offset(exports.AddressOfNames + 4 * i, sections, &slot) || !image.At(slot, &nameRva) ||
            !image.Offset(nameRva, sections, &nameAt) || !image.String(nameAt, &name)) {
            *error = "bad export name table";
            return false;
        }
        headers->exportedNames.push_back(name);
    }
    return true;
}

// The fields both optional header layouts (PE32, PE32+) share, read from layout `Optional`.
template <typename Optional>
bool ReadOptionalHeader(const ImageReader& image, size_t offset, PeHeaders* headers, IMAGE_DATA_DIRECTORY* exportDir,
                        IMAGE_DATA_DIRECTORY* importDir) {
    Optional opt;
    if (!image.At(offset, &opt)) return false;
    headers->subsystem = opt.Subsystem;
    headers->dllCharacteristics = opt.DllCharacteristics;
    headers->entryPoint = opt.AddressOfEntryPoint;
    *exportDir = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    *importDir = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    return true;
}

}  // namespace

bool ReadPeHeaders(const std::wstring& path, PeHeaders* headers, std::string* error) {
    *headers = PeHeaders();
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) {
        *error = "unreadable";
        return false;
    }
    ImageReader image(bytes);
    IMAGE_DOS_HEADER dos;
    if (!image.At(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        *error = "no MZ header";
        return false;
    }
    const size_t nt = static_cast<size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    if (!image.At(nt, &signature) || signature != IMAGE_NT_SIGNATURE ||
        !image.At(nt + sizeof(DWORD), &file)) {
        *error = "no PE signature";
        return false;
    }
    headers->machine = file.Machine;
    headers->characteristics = file.Characteristics;
    const size_t optional = nt + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    if (!image.At(optional, &headers->magic)) {
        *error = "truncated optional header";
        return false;
    }

    IMAGE_DATA_DIRECTORY exportDir{}, importDir{};
    bool read = false;
    if (headers->magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        read = ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(image, optional, headers, &exportDir, &importDir);
    } else if (headers->magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        read = ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(image, optional, headers, &exportDir, &importDir);
    } else {
        *error = "unknown optional header magic";
        return false;
    }
    if (!read) {
        *error = "truncated optional header";
        return false;
    }

    std::vector<Section> sections;
    const size_t table = optional + file.SizeOfOptionalHeader;
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER s;
        if (!image.At(table + i * sizeof(IMAGE_SECTION_HEADER), &s)) {
            *error = "truncated section table";
            return false;
        }
        DWORD size = s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
        sections.push_back({s.VirtualAddress, size, s.PointerToRawData, s.SizeOfRawData});
    }
    return ReadImports(image, sections, importDir, headers, error) &&
           ReadExports(image, sections, exportDir, headers, error);
}

}  // namespace testenv
