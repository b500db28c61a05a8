#include "dialog_template.h"

#include <cstring>

#include "test_env.h"

namespace dlgres {

namespace {

// Reads little-endian fields from a byte string, remembering the first overrun.
class Reader {
public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    size_t offset() const { return m_at; }
    size_t left() const { return m_ok ? m_bytes.size() - m_at : 0; }

    template <typename T>
    T Read() {
        T value{};
        if (!m_ok || m_bytes.size() - m_at < sizeof(T)) {
            m_ok = false;
            return value;
        }
        std::memcpy(&value, m_bytes.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return value;
    }

    std::wstring ReadString() {
        std::wstring text;
        for (;;) {
            WORD c = Read<WORD>();
            if (!m_ok || c == 0) return text;
            text += static_cast<wchar_t>(c);
        }
    }

    NameOrOrdinal ReadNameOrOrdinal() {
        NameOrOrdinal name;
        WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            name.isOrdinal = true;
            name.ordinal = Read<WORD>();
            return name;
        }
        if (first == 0) return name;
        name.text = static_cast<wchar_t>(first);
        name.text += ReadString();
        return name;
    }

    void AlignTo4() {
        while (m_ok && (m_at % 4) != 0 && m_at < m_bytes.size()) ++m_at;
    }

    void Skip(size_t n) {
        if (!m_ok || m_bytes.size() - m_at < n) {
            m_ok = false;
            return;
        }
        m_at += n;
    }

private:
    const std::string& m_bytes;
    size_t m_at = 0;
    bool m_ok = true;
};

bool Fail(std::string* error, const char* what, const Reader& r) {
    if (error != nullptr) *error = std::string(what) + " at byte " + std::to_string(r.offset());
    return false;
}

}  // namespace

std::string NameOrOrdinal::Describe() const {
    if (isOrdinal) return "#" + std::to_string(ordinal);
    return testenv::Narrow(text);
}

bool ParseDialogTemplate(const std::string& bytes, DialogTemplate* out, std::string* error) {
    *out = DialogTemplate();
    Reader r(bytes);
    WORD first = r.Read<WORD>();
    WORD second = r.Read<WORD>();
    out->extended = first == 1 && second == 0xFFFF;
    WORD count = 0;
    if (out->extended) {
        out->version = first;
        out->helpId = r.Read<DWORD>();
        out->exStyle = r.Read<DWORD>();
        out->style = r.Read<DWORD>();
    } else {
        out->style = MAKELONG(first, second);
        out->exStyle = r.Read<DWORD>();
    }
    count = r.Read<WORD>();
    out->x = r.Read<short>();
    out->y = r.Read<short>();
    out->cx = r.Read<short>();
    out->cy = r.Read<short>();
    out->menu = r.ReadNameOrOrdinal();
    out->windowClass = r.ReadNameOrOrdinal();
    out->title = r.ReadString();
    out->hasFont = (out->style & (DS_SETFONT | DS_SHELLFONT)) != 0;
    if (out->hasFont) {
        out->pointSize = r.Read<WORD>();
        if (out->extended) {
            out->weight = r.Read<WORD>();
            out->italic = r.Read<BYTE>();
            out->charset = r.Read<BYTE>();
        }
        out->typeface = r.ReadString();
    }
    if (!r.ok()) return Fail(error, "header cut short", r);

    for (WORD i = 0; i < count; ++i) {
        r.AlignTo4();
        ControlTemplate c;
        if (out->extended) {
            c.helpId = r.Read<DWORD>();
            c.exStyle = r.Read<DWORD>();
            c.style = r.Read<DWORD>();
        } else {
            c.style = r.Read<DWORD>();
            c.exStyle = r.Read<DWORD>();
        }
        c.x = r.Read<short>();
        c.y = r.Read<short>();
        c.cx = r.Read<short>();
        c.cy = r.Read<short>();
        c.id = out->extended ? r.Read<DWORD>() : r.Read<WORD>();
        c.windowClass = r.ReadNameOrOrdinal();
        c.title = r.ReadNameOrOrdinal();
        c.extraBytes = r.Read<WORD>();
        r.Skip(c.extraBytes);
        if (!r.ok()) return Fail(error, ("control " + std::to_string(i + 1) + " cut short").c_str(), r);
        out->controls.push_back(c);
    }
    // Only the padding to the next 4-byte boundary may follow the last control.
    if (r.left() > 3) return Fail(error, "unexpected bytes after the last control", r);
    return true;
}

}  // namespace dlgres
