#include "tagwrite/ListOrder.h"

#include <algorithm>
#include <array>

namespace sorrelbox {
namespace {

std::u32string CodePoints(std::string_view s, const CodePage& cp) {
    const std::u16string units = cp.ToUtf16(s);
    std::u32string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                          (units[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(u);
        }
    }
    return out;
}

char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c >= 0xFF21 && c <= 0xFF3A) return c - 0xFF21 + U'a';
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0xFF41 + U'a';
    return c;
}

// Katakana without voicing marks and small forms; hiragana becomes katakana first.
char32_t PlainKana(char32_t c) {
    if (c >= 0x3041 && c <= 0x3096) c += 0x60;
    switch (c) {
        case 0x30A1:
        case 0x30A3:
        case 0x30A5:
        case 0x30A7:
        case 0x30A9:  // small a i u e o
        case 0x30E3:
        case 0x30E5:
        case 0x30E7:  // small ya yu yo
            return c + 1;
        case 0x30C3:
            return 0x30C4;  // small tsu
        case 0x30EE:
            return 0x30EF;  // small wa
        case 0x30F5:
            return 0x30AB;  // small ka
        case 0x30F6:
            return 0x30B1;  // small ke
        case 0x30F4:
            return 0x30A6;  // vu
        case 0x30C5:
        case 0x30C7:
        case 0x30C9:
            return c - 1;  // du de do
        case 0x30F7:
            return 0x30EF;
        case 0x30F8:
            return 0x30F0;
        case 0x30F9:
            return 0x30F1;
        case 0x30FA:
            return 0x30F2;
        default:
            break;
    }
    if (c >= 0x30AC && c <= 0x30C2 && (c - 0x30AB) % 2 == 1) return c - 1;  // ga .. di
    if (c >= 0x30CF && c <= 0x30DD) return c - (c - 0x30CF) % 3;            // ba pa .. bo po
    return c;
}

// The vowel (as a katakana vowel) of a plain kana, or 0.
char32_t VowelOf(char32_t c) {
    static constexpr std::array<char32_t, 5> kVowels = {0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA};
    static constexpr std::array<std::array<char32_t, 5>, 10> kRows = {{
        {0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA},
        {0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3},
        {0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD},
        {0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8},
        {0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE},
        {0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB},
        {0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2},
        {0x30E4, 0, 0x30E6, 0, 0x30E8},
        {0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED},
        {0x30EF, 0x30F0, 0, 0x30F1, 0x30F2},
    }};
    if (c == 0) return 0;
    for (const auto& row : kRows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (row[i] == c) return kVowels[i];
        }
    }
    return 0;
}

std::u32string PrimaryKey(const std::u32string& points) {
    std::u32string key;
    key.reserve(points.size());
    for (char32_t c : points) {
        c = PlainKana(FoldCase(c));
        if (c == 0x30FC && !key.empty()) {
            if (const char32_t v = VowelOf(key.back())) c = v;
        }
        key.push_back(c);
    }
    return key;
}

}  // namespace

bool ListOrderLess(std::string_view a, std::string_view b, const CodePage& cp) {
    const std::u32string pa = CodePoints(a, cp);
    const std::u32string pb = CodePoints(b, cp);
    const std::u32string ka = PrimaryKey(pa);
    const std::u32string kb = PrimaryKey(pb);
    if (ka != kb) return ka < kb;
    if (pa != pb) return pa < pb;
    return a < b;
}

bool ListTextEqualIgnoringCase(std::string_view a, std::string_view b, const CodePage& cp) {
    std::u32string pa = CodePoints(a, cp);
    std::u32string pb = CodePoints(b, cp);
    if (pa.size() != pb.size()) return false;
    std::transform(pa.begin(), pa.end(), pa.begin(), FoldCase);
    std::transform(pb.begin(), pb.end(), pb.begin(), FoldCase);
    if (pa != pb) return false;
    // Invalid bytes all convert to U+FFFD: such texts are equal only byte for byte.
    return pa.find(0xFFFD) == std::u32string::npos || a == b;
}

std::size_t ListInsertPosition(const std::vector<std::string>& sorted, std::string_view text,
                               const CodePage& cp) {
    const auto it = std::upper_bound(sorted.begin(), sorted.end(), text,
                                     [&cp](std::string_view t, const std::string& entry) {
                                         return ListOrderLess(t, entry, cp);
                                     });
    return static_cast<std::size_t>(it - sorted.begin());
}

std::vector<std::string> SplitListLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const bool lastWithoutBreak = end == std::string_view::npos;
        if (lastWithoutBreak) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!lastWithoutBreak && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace sorrelbox
