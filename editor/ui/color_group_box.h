#pragma once

#include <QtGui/QColor>
#include <QtWidgets/QGroupBox>

namespace tqm {

// Group frame whose caption is drawn in a chosen colour on the button-face colour.
class CColorGroupBox final : public QGroupBox {
    Q_OBJECT

public:
    explicit CColorGroupBox(QWidget* parent = nullptr);

    void setTextColor(const QColor& color);
    QColor textColor() const { return m_textColor; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_textColor;
};

}  // namespace tqm
