#include "ui/main/GuiResources.h"

#include <QtGlobal>

// Resources of a static library are registered by hand, outside any namespace.
static void InitSorrelboxResources() {
    Q_INIT_RESOURCE(sorrelbox);
}

namespace sorrelbox {

void InitGuiResources() {
    static const bool done = (InitSorrelboxResources(), true);
    (void)done;
}

}  // namespace sorrelbox
