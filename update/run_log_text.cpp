#include "update/run_log_text.h"

#include <cstdio>
#include <cstdint>
#include <cstring>

namespace runlog {

namespace {

// VS_FIXEDFILEINFO's signature, and where its file version sits after it.
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFileVersionMsOffset = 8;
constexpr std::size_t kFileVersionLsOffset = 12;
// The fixed part follows the block's header and its key "VS_VERSION_INFO", aligned to four
// bytes: it starts within the first 64 bytes however the key is padded.
constexpr std::size_t kFixedInfoSearchEnd = 64;

std::uint32_t ReadLittleEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void AppendUtf8(std::string* out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        *out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out += static_cast<char>(0xC0 | (codePoint >> 6));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out += static_cast<char>(0xE0 | (codePoint >> 12));
        *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (codePoint >> 18));
        *out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::string FormatLine(const LineTime& time, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", time.year % 10000, time.month % 100,
                  time.day % 100, time.hour % 100, time.minute % 100, time.second % 100, time.millisecond % 1000);
    std::string line(stamp);
    line.reserve(line.size() + text.size() + 2);
    for (char c : text) line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    line += "\r\n";
    return line;
}

std::string FormatText(const char* format, std::va_list args) {
    char small[512];
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return {};
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        va_end(again);
        return std::string(small, static_cast<std::size_t>(length));
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string FormatText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = FormatText(format, args);
    va_end(args);
    return text;
}

std::string Utf8FromUtf16(const wchar_t* text, std::size_t length) {
    std::string out;
    if (text == nullptr) return out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t unit = static_cast<std::uint16_t>(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(static_cast<std::uint16_t>(text[i + 1]))) {
            const std::uint32_t low = static_cast<std::uint16_t>(text[++i]);
            AppendUtf8(&out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(&out, 0xFFFD);
        } else {
            AppendUtf8(&out, unit);
        }
    }
    return out;
}

std::string Utf8FromUtf16(const std::wstring& text) {
    return Utf8FromUtf16(text.c_str(), text.size());
}

std::string TrimMessage(std::string message) {
    while (!message.empty() && (message.back() == ' ' || message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    return message;
}

bool ShouldRotate(unsigned long long sizeBytes) {
    return sizeBytes > kRotateAboveBytes;
}

std::wstring RotatedPath(const std::wstring& path) {
    return path + L".old";
}

bool IsFullPath(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) {
        const wchar_t drive = path[0];
        return (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    }
    // "\\server\share\..." and the "\\?\" and "\\.\" forms.
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

std::string FileVersionOf(const unsigned char* resource, std::size_t size) {
    if (resource == nullptr) return {};
    for (std::size_t offset = 0; offset + 4 <= kFixedInfoSearchEnd && offset + 4 <= size; offset += 4) {
        if (ReadLittleEndian32(resource + offset) != kFixedInfoSignature) continue;
        if (offset + kFileVersionLsOffset + 4 > size) return {};
        const std::uint32_t ms = ReadLittleEndian32(resource + offset + kFileVersionMsOffset);
        const std::uint32_t ls = ReadLittleEndian32(resource + offset + kFileVersionLsOffset);
        return FormatText("%u.%u.%u.%u", static_cast<unsigned>(ms >> 16), static_cast<unsigned>(ms & 0xFFFF),
                          static_cast<unsigned>(ls >> 16), static_cast<unsigned>(ls & 0xFFFF));
    }
    return {};
}

}  // namespace runlog
