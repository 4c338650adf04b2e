#pragma once

#include <cstdint>

#include <QtCore/QString>

class QWidget;

namespace tqm {

// A warning box over owner, titled with the window's caption, with one OK button:
// the text of a string id, and below it what to do about it (noticeDetail) when
// there is something to say. Blocks until the operator closes it.
void showNoticeBox(QWidget* owner, std::int32_t stringId);

}  // namespace tqm
