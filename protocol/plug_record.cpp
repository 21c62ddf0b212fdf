#include "protocol/plug_record.h"

#include <algorithm>

namespace fenno {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(char16_t(c));
    } else {
        c -= 0x10000;
        out.push_back(char16_t(0xD800 | (c >> 10)));
        out.push_back(char16_t(0xDC00 | (c & 0x3FF)));
    }
}

} // namespace

std::u16string PlugName(const PlugRecord& record) {
    std::u16string name;
    for (int i = 0; i < kPlugNameUnits; ++i) {
        const size_t at = size_t(kPlugNameOffset + 2 * i);
        const char16_t u = char16_t(record[at] | (record[at + 1] << 8));
        if (u == 0) break;
        name.push_back(u);
    }
    return name;
}

void SetPlugName(PlugRecord& record, std::u16string_view name) {
    size_t units = 0;
    while (units < name.size() && units < size_t(kPlugNameMaxUnits) && name[units] != 0)
        ++units;
    // Half a character would show as garbage on every screen that lists the plug.
    if (units > 0 && units == size_t(kPlugNameMaxUnits) && units < name.size() &&
        IsHighSurrogate(name[units - 1]) && IsLowSurrogate(name[units]))
        --units;
    std::fill(record.begin() + kPlugNameOffset, record.end(), uint8_t(0));
    for (size_t i = 0; i < units; ++i) {
        record[size_t(kPlugNameOffset) + 2 * i] = uint8_t(name[i]);
        record[size_t(kPlugNameOffset) + 2 * i + 1] = uint8_t(name[i] >> 8);
    }
}

PlugRecord MakePlugRecord(uint8_t type, std::u16string_view name) {
    PlugRecord r{};
    r[0] = type;
    SetPlugName(r, name);
    return r;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = uint8_t(text[i]);
        const int extra = b < 0x80           ? 0
                          : (b >> 5) == 0x6  ? 1
                          : (b >> 4) == 0xE  ? 2
                          : (b >> 3) == 0x1E ? 3
                                             : -1;
        // A byte that cannot start a sequence, or a sequence cut off at the end.
        if (extra < 0 || text.size() - i <= size_t(extra)) {
            out.push_back(char16_t(kReplacement));
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : char32_t(b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const auto t = uint8_t(text[i + size_t(k)]);
            if ((t & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (t & 0x3F);
        }
        const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < minimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(char16_t(kReplacement));
            ++i;
            continue;
        }
        AppendUtf16(out, c);
        i += size_t(extra) + 1;
    }
    return out;
}

} // namespace fenno
