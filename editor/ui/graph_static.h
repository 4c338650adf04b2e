#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

class QPainter;

namespace tqm {

// The graph control: shows a 32-bit ARGB picture that someone else owns and
// draws, without copying it. update() after the picture has changed.
class CGraphStatic final : public QWidget {
    Q_OBJECT

public:
    explicit CGraphStatic(QWidget* parent = nullptr);

    // The picture to show; the pixels must outlive this control or the next call.
    // A picture with scale picture pixels per window pixel fills the same area of the
    // window as its scale-1 size, at the screen's density.
    void setPicture(const std::uint32_t* pixels, int width, int height, double scale = 1.0);
    const QImage& picture() const { return m_picture; }
    // Drawn over the picture at every paint, in the picture's scale-1 coordinates.
    void setOverlay(std::function<void(QPainter&)> overlay) { m_overlay = std::move(overlay); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    std::function<void(QPainter&)> m_overlay;
};

}  // namespace tqm
