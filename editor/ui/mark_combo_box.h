#pragma once

#include <QtWidgets/QListWidget>

namespace tqm {

// The always-open list of a port dialog (a simple combo box: no drop-down). The
// marked entry (the value in use) is drawn in red, also while it is highlighted;
// the highlight is a light tint so that red and black text both stay readable.
// Every entry is 15 pixels high.
class CMarkComboBox final : public QListWidget {
    Q_OBJECT

public:
    static constexpr int kItemHeight = 15;

    explicit CMarkComboBox(QWidget* parent = nullptr);

    void setMarkedIndex(int index);
    int markedIndex() const { return m_markedIndex; }

private:
    int m_markedIndex = 0;
};

}  // namespace tqm
