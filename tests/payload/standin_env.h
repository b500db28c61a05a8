// What the stand-in tests read around them: the build's folders (from the environment the test
// run sets), whole files, the payload catalogue, and scratch folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace standins {

// HALVERN_BIN_DIR\standins\<file>: the stand-in programs built for the tests.
std::wstring StandinFile(const wchar_t* file);
// HALVERN_PAYLOAD_DIR\<source>, '/' in source turned into '\'.
std::wstring PayloadFile(const std::string& source);

// The whole file; false (and `bytes` empty) when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* bytes);

// One row of payload/catalogue.tsv.
struct CatalogueRow {
    int line = 0;
    std::string group;
    std::string type;
    std::string source;
};
// Every row of the catalogue this build uses (comment lines skipped); empty when unreadable.
std::vector<CatalogueRow> ReadCatalogue();

std::string Narrow(const std::wstring& text);

// A new empty folder below the temporary folder, removed with what is in it at scope end.
class ScratchFolder {
public:
    explicit ScratchFolder(const wchar_t* name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool ok() const { return m_ok; }
    const std::wstring& path() const { return m_path; }
    // Copies `from` into the folder as `name`; returns the copy's path, empty on failure.
    std::wstring CopyIn(const std::wstring& from, const wchar_t* name) const;

private:
    std::wstring m_path;
    bool m_ok = false;
};

}  // namespace standins
