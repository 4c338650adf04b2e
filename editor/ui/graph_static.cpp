#include "editor/ui/graph_static.h"

#include <QtGui/QPainter>

namespace tqm {

CGraphStatic::CGraphStatic(QWidget* parent) : QWidget(parent) {
    // The picture covers the whole control, so nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CGraphStatic::setPicture(const std::uint32_t* pixels, int width, int height, double scale) {
    // The const-pointer constructor wraps the buffer read-only; it never copies.
    m_picture = QImage(reinterpret_cast<const uchar*>(pixels), width, height,
                       width * static_cast<int>(sizeof(std::uint32_t)), QImage::Format_ARGB32);
    m_picture.setDevicePixelRatio(scale);
    update();
}

void CGraphStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    painter.drawImage(0, 0, m_picture);
    if (m_overlay) m_overlay(painter);
}

}  // namespace tqm
