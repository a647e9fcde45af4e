#include "tagwrite/Id3v1Writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/FileOps.h"

namespace sorrelbox {
namespace {

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool PWriteAll(int fd, const std::uint8_t* data, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool PReadAll(int fd, std::uint8_t* data, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int OpenExisting(std::string_view path) {
    const auto native = ToNativePath(path);
    if (!native || native->empty()) return -1;
    const int fd = ::open(native->c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::array<std::uint8_t, kId3v1Size> Id3v1Image::Bytes() const {
    std::array<std::uint8_t, kId3v1Size> out{};
    auto it = std::copy_n("TAG", 3, out.begin());
    it = std::copy(title.begin(), title.end(), it);
    it = std::copy(artist.begin(), artist.end(), it);
    it = std::copy(album.begin(), album.end(), it);
    it = std::copy(year.begin(), year.end(), it);
    std::copy(commentBlock.begin(), commentBlock.end(), it);
    return out;
}

Id3v1WriteResult WriteId3v1Tag(std::string_view songPath, const Id3v1Image& image, bool remove,
                               std::uint8_t kanryoumes, Prompts& prompts) {
    const auto fail = [&] {
        prompts.ShowMessage(
            CpText(remove ? "ID3v1タグを削除できませんでした" : "ID3v1タグを編集できませんでした"),
            CpText("エラー"), MessageIcon::Warning);
        return Id3v1WriteResult::Failed;
    };
    Fd fd(OpenExisting(songPath));
    if (fd.get() < 0) return fail();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail();
    const off_t size = st.st_size;

    bool hasTag = false;
    if (size >= static_cast<off_t>(kId3v1Size)) {
        std::uint8_t marker[3] = {};
        if (!PReadAll(fd.get(), marker, sizeof marker, size - static_cast<off_t>(kId3v1Size))) {
            return fail();
        }
        hasTag = std::memcmp(marker, "TAG", 3) == 0;
    }

    if (remove) {
        if (!hasTag) return fail();
        if (::ftruncate(fd.get(), size - static_cast<off_t>(kId3v1Size)) != 0) return fail();
        if (::fsync(fd.get()) != 0 || !fd.Close()) return fail();
        if (kanryoumes == 0) {
            prompts.ShowMessage(CpText("ID3v1タグを削除しました"), CpText("完了"),
                                MessageIcon::Information);
        }
        return Id3v1WriteResult::Removed;
    }

    const auto bytes = image.Bytes();
    const off_t offset = hasTag ? size - static_cast<off_t>(kId3v1Size) : size;
    if (!PWriteAll(fd.get(), bytes.data(), bytes.size(), offset)) {
        // An append that got only part way is cut back, so no half tag stays behind.
        if (!hasTag && ::ftruncate(fd.get(), size) == 0) ::fsync(fd.get());
        return fail();
    }
    if (::fsync(fd.get()) != 0 || !fd.Close()) return fail();
    if (kanryoumes == 0) {
        prompts.ShowMessage(CpText("ID3v1タグを編集しました"), CpText("完了"),
                            MessageIcon::Information);
    }
    return Id3v1WriteResult::Written;
}

}  // namespace sorrelbox
