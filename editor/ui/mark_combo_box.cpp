#include "editor/ui/mark_combo_box.h"

#include <QtGui/QPainter>
#include <QtWidgets/QStyledItemDelegate>

namespace tqm {
namespace {

const QColor kMarkedText(255, 0, 0);
// How much of the highlight colour tints a selected entry; the rest is the list's
// background, light enough for red text.
constexpr float kHighlightTint = 0.2F;

QColor selectedFill(const QPalette& palette) {
    const QColor highlight = palette.color(QPalette::Highlight);
    const QColor base = palette.color(QPalette::Base);
    const auto mix = [](float a, float b) { return a * kHighlightTint + b * (1.0F - kHighlightTint); };
    return QColor::fromRgbF(mix(highlight.redF(), base.redF()), mix(highlight.greenF(), base.greenF()),
                            mix(highlight.blueF(), base.blueF()));
}

// Draws one list entry: highlight tint or window colour, focus frame, red text for
// the marked entry and black for the others, word-wrapped at the top left.
class MarkItemDelegate final : public QStyledItemDelegate {
public:
    explicit MarkItemDelegate(CMarkComboBox* owner) : QStyledItemDelegate(owner), m_owner(owner) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), CMarkComboBox::kItemHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        painter->fillRect(option.rect, selected ? selectedFill(option.palette) : option.palette.color(QPalette::Base));
        if ((option.state & QStyle::State_HasFocus) != 0) {
            QStyleOptionFocusRect focus;
            focus.rect = option.rect;
            focus.state = option.state;
            focus.palette = option.palette;
            m_owner->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_owner);
        }
        painter->setPen(index.row() == m_owner->markedIndex() ? kMarkedText : QColor(Qt::black));
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(1, 1, -1, -1), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    const CMarkComboBox* m_owner;
};

}  // namespace

CMarkComboBox::CMarkComboBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new MarkItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    // The scroll bar is always there, disabled when every entry fits.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void CMarkComboBox::setMarkedIndex(int index) {
    m_markedIndex = index;
    viewport()->update();
}

}  // namespace tqm
