#include "os/path.h"

#include <cstdint>

namespace snv::os {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one scalar value at `i`, advancing `i`; malformed input yields U+FFFD and skips
// the maximal invalid prefix (one byte at least).
char32_t decode_utf8(std::string_view s, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    std::size_t k = i + 1;
    for (int n = 1; n < len; ++n, ++k) {
        if (k >= s.size() || (byte(k) & 0xC0) != 0x80) {
            i = k;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(k) & 0x3F);
    }
    i = k;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

void encode_utf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool is_separator(NativeChar c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

NativePath folder_of(const NativePath& path) {
    std::size_t end = path.size();
    while (end > 0 && !is_separator(path[end - 1])) --end;
    if (end == 0) return {};
    NativePath folder = path.substr(0, end);
    // Keep a root ("/" or a drive root) as it is; drop the separator after any other folder.
    while (folder.size() > 1 && is_separator(folder.back()) &&
           !(folder.size() == 3 && folder[1] == ':')) {
        folder.pop_back();
    }
    return folder;
}

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = decode_utf8(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;  // an unpaired surrogate has no UTF-8 form
        }
        encode_utf8(cp, out);
    }
    return out;
}

NativePath to_native(std::string_view utf8) {
#ifdef _WIN32
    std::u16string wide = utf8_to_utf16(utf8);
    return NativePath(wide.begin(), wide.end());
#else
    return NativePath(utf8);
#endif
}

std::string to_utf8(const NativePath& path) {
#ifdef _WIN32
    std::u16string wide(path.begin(), path.end());
    return utf16_to_utf8(wide);
#else
    return path;
#endif
}

NativePath join(const NativePath& base, std::string_view name) {
    NativePath out = base;
    bool bare_drive = false;
#ifdef _WIN32
    bare_drive = base.size() == 2 && base[1] == L':' &&
                 ((base[0] >= L'A' && base[0] <= L'Z') || (base[0] >= L'a' && base[0] <= L'z'));
    constexpr NativeChar kSeparator = L'\\';
#else
    constexpr NativeChar kSeparator = '/';
#endif
    if (!base.empty() && !is_separator(base.back()) && !bare_drive) out += kSeparator;
    out += to_native(name);
    return out;
}

}  // namespace snv::os
