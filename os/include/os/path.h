#pragma once

#include <string>
#include <string_view>

namespace snv::os {

// Paths stay in the platform's own form (UTF-16 on Windows, bytes on Linux) so that a value
// the platform gave us is handed back to it unchanged, even when it is not valid Unicode.
#ifdef _WIN32
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif
using NativePath = std::basic_string<NativeChar>;

// UTF-8 to the native form; invalid UTF-8 becomes U+FFFD on Windows, bytes stay bytes natively.
NativePath to_native(std::string_view utf8);
// The native form as UTF-8, for display and for text the system stores; lossy (U+FFFD) where
// the native text is not valid Unicode.
std::string to_utf8(const NativePath& path);

// base + separator + name, with the platform's separator (a backslash on Windows, a slash
// natively). No separator is added after an empty base, a base that already ends with a
// separator, or (Windows) a bare drive such as "C:".
NativePath join(const NativePath& base, std::string_view name);

// A backslash or a slash on Windows, a slash natively.
bool is_separator(NativeChar c);

// The folder part of `path` (empty when it has none), by the platform's separator rules.
NativePath folder_of(const NativePath& path);

// The two conversions behind the Windows form, usable (and tested) on every platform.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

}  // namespace snv::os
