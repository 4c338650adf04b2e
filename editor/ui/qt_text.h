#pragma once

#include <string_view>

#include <QtCore/QString>

namespace tqm {

// Texts of the engine are ASCII; this turns one into a Qt string.
inline QString toQString(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tqm
