#include "editor/ui/resource_init.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerCompiledResources() { Q_INIT_RESOURCE(resources); }

namespace tqm {

void ensureResources() {
    static const bool s_registered = [] {
        registerCompiledResources();
        return true;
    }();
    (void)s_registered;
}

}  // namespace tqm
