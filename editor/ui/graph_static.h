#pragma once

#include <cstdint>

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

namespace tqm {

// The graph control: shows a 32-bit ARGB picture that someone else owns and
// draws, without copying it. update() after the picture has changed.
class CGraphStatic final : public QWidget {
    Q_OBJECT

public:
    explicit CGraphStatic(QWidget* parent = nullptr);

    // The picture to show; the pixels must outlive this control or the next call.
    void setPicture(const std::uint32_t* pixels, int width, int height);
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

}  // namespace tqm
