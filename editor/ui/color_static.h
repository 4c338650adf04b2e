#pragma once

#include <QtGui/QColor>
#include <QtWidgets/QLabel>

namespace tqm {

// Static text drawn in a chosen text colour on a chosen background colour.
// Starts black on the button-face colour.
class CColorStatic final : public QLabel {
    Q_OBJECT

public:
    explicit CColorStatic(QWidget* parent = nullptr);

    void setTextColor(const QColor& color);
    void setBackgroundColor(const QColor& color);
    QColor textColor() const { return m_textColor; }
    QColor backgroundColor() const { return m_backgroundColor; }

private:
    void applyColors();

    QColor m_textColor;
    QColor m_backgroundColor;
};

}  // namespace tqm
