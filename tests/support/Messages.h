#pragma once

#include <string_view>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"

// The program's four kinds of message box, as the scripted prompts record them.
namespace sorrelbox::test {

using Message = ScriptedPrompts::Message;

inline Message Done(std::string_view text) {
    return {CpText(text), CpText("完了"), MessageIcon::Information, MessageButtons::Ok};
}
inline Message Question(std::string_view text) {
    return {CpText(text), CpText("確認"), MessageIcon::Question, MessageButtons::OkCancel};
}
// An error the user's own choice caused: information icon.
inline Message Refusal(std::string_view text) {
    return {CpText(text), CpText("エラー"), MessageIcon::Information, MessageButtons::Ok};
}
// An error the system caused: warning icon.
inline Message Failure(std::string_view text) {
    return {CpText(text), CpText("エラー"), MessageIcon::Warning, MessageButtons::Ok};
}

}  // namespace sorrelbox::test
