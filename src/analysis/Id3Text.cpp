#include "analysis/Id3Text.h"

#include <algorithm>
#include <string_view>

#include "platform/CodePage.h"

namespace sorrelbox {
namespace {

std::string Utf16ToCodePage(std::span<const std::uint8_t> data, bool bigEndian) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t u = bigEndian ? static_cast<char16_t>(data[i] << 8 | data[i + 1])
                                     : static_cast<char16_t>(data[i + 1] << 8 | data[i]);
        if (u == 0) break;
        units += u;
    }
    return ActiveCodePage().FromUtf16(units);
}

std::string_view UpToNul(std::span<const std::uint8_t> data) {
    const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(data.data()),
            static_cast<std::size_t>(end - data.begin())};
}

}  // namespace

std::string DecodeId3Text(std::uint8_t encoding, std::span<const std::uint8_t> data,
                          std::size_t* bomBytes) {
    if (bomBytes) *bomBytes = 0;
    if (encoding == 0) return std::string(UpToNul(data));
    if (encoding == 3) {
        if (data.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
            data = data.subspan(3);
            if (bomBytes) *bomBytes = 3;
        }
        return ActiveCodePage().FromUtf8(UpToNul(data));
    }
    bool bigEndian = encoding == 2;
    if (data.size() >= 2 &&
        ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        bigEndian = data[0] == 0xFE;
        data = data.subspan(2);
        if (bomBytes) *bomBytes = 2;
    }
    return Utf16ToCodePage(data, bigEndian);
}

}  // namespace sorrelbox
