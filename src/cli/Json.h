#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace sorrelbox::cli {

// A JSON string literal (quotes included) of a text in the active code page: converted to
// UTF-8, bytes the code page does not hold become U+FFFD, quotes, backslashes and control
// characters escaped.
std::string JsonString(std::string_view cpText);
// The same for a text that already is UTF-8 (invalid sequences become U+FFFD).
std::string JsonUtf8String(std::string_view utf8);

// One JSON object, keys in the order they were added. Keys are ASCII names of our own.
class JsonObject {
  public:
    JsonObject& AddString(std::string_view key, std::string_view cpText);
    JsonObject& AddUtf8String(std::string_view key, std::string_view utf8);
    JsonObject& AddInt(std::string_view key, std::int64_t value);
    JsonObject& AddUnsigned(std::string_view key, std::uint64_t value);
    JsonObject& AddBool(std::string_view key, bool value);
    JsonObject& AddNull(std::string_view key);
    JsonObject& AddStringArray(std::string_view key, const std::vector<std::string>& cpTexts);
    JsonObject& AddIntArray(std::string_view key, const std::vector<std::int64_t>& values);
    JsonObject& AddObject(std::string_view key, const JsonObject& value);
    JsonObject& AddObjectArray(std::string_view key, const std::vector<JsonObject>& values);

    // "{...}" without a line end.
    std::string str() const { return "{" + body_ + "}"; }

  private:
    // The comma and the key; keys are ASCII names of our own, appended as they stand.
    JsonObject& AddKey(std::string_view key);
    JsonObject& AddRaw(std::string_view key, std::string_view json);
    template <typename Integer>
    JsonObject& AddNumber(std::string_view key, Integer value);
    friend void WriteJsonLine(std::ostream& out, const JsonObject& object);
    std::string body_;
};

// The object and "\n".
void WriteJsonLine(std::ostream& out, const JsonObject& object);

}  // namespace sorrelbox::cli
