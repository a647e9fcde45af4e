#include "platform/FileReplacer.h"

namespace sorrelbox {

std::optional<FileReplacer> FileReplacer::Create(std::string_view path) {
    auto core = ReplacementFile::Open(path, ReplacePolicy::CreateOrInPlace);
    if (!core) return std::nullopt;
    return FileReplacer(std::move(*core));
}

FileReplacer::FileReplacer(FileReplacer&& other) noexcept = default;
FileReplacer& FileReplacer::operator=(FileReplacer&& other) noexcept = default;
FileReplacer::~FileReplacer() = default;

bool FileReplacer::Write(std::string_view bytes) {
    return core_.Write(bytes.data(), bytes.size());
}

bool FileReplacer::Commit() {
    return core_.Commit();
}

}  // namespace sorrelbox
