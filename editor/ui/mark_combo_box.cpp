#include "editor/ui/mark_combo_box.h"

#include <QtGui/QPainter>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QStyledItemDelegate>
#include <QtWidgets/QStylePainter>

namespace tqm {
namespace {

const QColor kMarkedText(255, 0, 0);

// Draws one list entry: highlight or window colour, focus frame, red text for the
// marked entry and black for the others, word-wrapped at the top left.
class MarkItemDelegate final : public QStyledItemDelegate {
public:
    explicit MarkItemDelegate(const CMarkComboBox* owner) : QStyledItemDelegate(nullptr), m_owner(owner) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), CMarkComboBox::kItemHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        painter->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        if ((option.state & QStyle::State_HasFocus) != 0) {
            QStyleOptionFocusRect focus;
            focus.rect = option.rect;
            focus.state = option.state;
            focus.palette = option.palette;
            const QWidget* widget = option.widget;
            QStyle* style = widget != nullptr ? widget->style() : m_owner->style();
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
        painter->setPen(index.row() == m_owner->markedIndex() ? kMarkedText : QColor(Qt::black));
        painter->setFont(option.font);
        const QRect text = option.rect.adjusted(1, 1, -1, -1);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    const CMarkComboBox* m_owner;
};

}  // namespace

CMarkComboBox::CMarkComboBox(QWidget* parent) : QComboBox(parent) {
    auto* delegate = new MarkItemDelegate(this);
    delegate->setParent(this);
    setItemDelegate(delegate);
}

void CMarkComboBox::setMarkedIndex(int index) {
    m_markedIndex = index;
    update();
}

void CMarkComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QColor text = currentIndex() == m_markedIndex ? kMarkedText : QColor(Qt::black);
    option.palette.setColor(QPalette::ButtonText, text);
    option.palette.setColor(QPalette::Text, text);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace tqm
