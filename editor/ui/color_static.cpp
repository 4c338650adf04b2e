#include "editor/ui/color_static.h"

#include <QtGui/QPalette>

namespace tqm {

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent),
      m_textColor(Qt::black),
      m_backgroundColor(palette().color(QPalette::Window)) {
    setAutoFillBackground(true);
    applyColors();
}

void CColorStatic::setTextColor(const QColor& color) {
    m_textColor = color;
    applyColors();
}

void CColorStatic::setBackgroundColor(const QColor& color) {
    m_backgroundColor = color;
    applyColors();
}

void CColorStatic::applyColors() {
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, m_textColor);
    colors.setColor(QPalette::Text, m_textColor);
    colors.setColor(QPalette::Window, m_backgroundColor);
    setPalette(colors);
    update();
}

}  // namespace tqm
