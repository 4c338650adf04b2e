#pragma once

#include <cstdint>

#include <QtCore/QString>

class QWidget;

namespace tqm {

// A warning box over owner with one OK button and the text of a string id, followed
// by detail after an empty line when there is one. Blocks until the operator closes it.
void showNoticeBox(QWidget* owner, const QString& title, std::int32_t stringId, const QString& detail = {});

}  // namespace tqm
