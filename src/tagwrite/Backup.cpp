#include "tagwrite/Backup.h"

#include "platform/CodePage.h"
#include "platform/SafeFile.h"

namespace sorrelbox {

bool BackupSong(std::string_view songPath, std::string_view backupPath, Prompts& prompts) {
    if (CopyFileReplacing(songPath, backupPath)) return true;
    prompts.ShowMessage(CpText("バックアップファイルの保存に失敗しました"), CpText("エラー"),
                        MessageIcon::Warning);
    return false;
}

}  // namespace sorrelbox
