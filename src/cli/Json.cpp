#include "Json.h"

#include <cstdio>
#include <ostream>

#include "platform/CodePage.h"

namespace sorrelbox::cli {
namespace {

// Escapes valid UTF-8 for a JSON string.
std::string Quote(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace

std::string JsonString(std::string_view cpText) {
    return Quote(ActiveCodePage().ToUtf8(cpText));
}

std::string JsonUtf8String(std::string_view utf8) {
    return Quote(CodePage(CodePage::Kind::Utf8).ToUtf8(utf8));
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
    if (!body_.empty()) body_ += ",";
    body_ += JsonUtf8String(key);
    body_ += ":";
    body_ += json;
    return *this;
}

JsonObject& JsonObject::AddString(std::string_view key, std::string_view cpText) {
    return AddRaw(key, JsonString(cpText));
}

JsonObject& JsonObject::AddInt(std::string_view key, std::int64_t value) {
    return AddRaw(key, std::to_string(value));
}

JsonObject& JsonObject::AddUnsigned(std::string_view key, std::uint64_t value) {
    return AddRaw(key, std::to_string(value));
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
    return AddRaw(key, value ? "true" : "false");
}

JsonObject& JsonObject::AddNull(std::string_view key) {
    return AddRaw(key, "null");
}

JsonObject& JsonObject::AddStringArray(std::string_view key,
                                       const std::vector<std::string>& cpTexts) {
    std::string json = "[";
    for (std::size_t i = 0; i < cpTexts.size(); ++i) {
        if (i > 0) json += ",";
        json += JsonString(cpTexts[i]);
    }
    return AddRaw(key, json + "]");
}

JsonObject& JsonObject::AddIntArray(std::string_view key, const std::vector<std::int64_t>& values) {
    std::string json = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) json += ",";
        json += std::to_string(values[i]);
    }
    return AddRaw(key, json + "]");
}

JsonObject& JsonObject::AddObject(std::string_view key, const JsonObject& value) {
    return AddRaw(key, value.str());
}

JsonObject& JsonObject::AddObjectArray(std::string_view key,
                                       const std::vector<JsonObject>& values) {
    std::string json = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) json += ",";
        json += values[i].str();
    }
    return AddRaw(key, json + "]");
}

void WriteJsonLine(std::ostream& out, const JsonObject& object) {
    out << object.str() << "\n";
}

}  // namespace sorrelbox::cli
