#include "editor/ui/color_group_box.h"

#include <QtWidgets/QStyleOptionGroupBox>
#include <QtWidgets/QStylePainter>

namespace tqm {

CColorGroupBox::CColorGroupBox(QWidget* parent) : QGroupBox(parent), m_textColor(Qt::black) {}

void CColorGroupBox::setTextColor(const QColor& color) {
    m_textColor = color;
    update();
}

void CColorGroupBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    // Only the caption takes the colour; the frame keeps the system look and the
    // children keep their own palette.
    option.textColor = m_textColor;
    option.palette.setColor(QPalette::WindowText, m_textColor);
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

}  // namespace tqm
