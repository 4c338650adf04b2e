#pragma once

#include <QtWidgets/QComboBox>

namespace tqm {

// Drop-down list whose marked entry (the one in use) is drawn in red, also
// while another entry is highlighted. Every entry is 15 pixels high.
class CMarkComboBox final : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kItemHeight = 15;

    explicit CMarkComboBox(QWidget* parent = nullptr);

    void setMarkedIndex(int index);
    int markedIndex() const { return m_markedIndex; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_markedIndex = 0;
};

}  // namespace tqm
