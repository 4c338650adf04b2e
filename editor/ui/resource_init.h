#pragma once

namespace tqm {

// Makes the compiled-in pictures (":/icons/...", ":/bitmaps/...") available. The
// resources live in a static library, so they are registered by hand, once.
void ensureResources();

}  // namespace tqm
