#include "editor/ui/graph_editor.h"

#include <array>
#include <cstdlib>

#include <QtGui/QFocusEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>

#include "editor/equalizer_model.h"
#include "editor/graph_handles.h"
#include "editor/graph_palette.h"

namespace tqm {
namespace {

// The keys that step the active band: which parameter and which way.
struct EditKey {
    int key;
    PeqParam kind;
    std::int32_t delta;
};

constexpr std::array<EditKey, 6> kEditKeys = {{
    {Qt::Key_Right, PeqParam::Freq, +1},
    {Qt::Key_Left, PeqParam::Freq, -1},
    {Qt::Key_Up, PeqParam::Level, +1},
    {Qt::Key_Down, PeqParam::Level, -1},
    {Qt::Key_PageUp, PeqParam::Bwth, +1},
    {Qt::Key_PageDown, PeqParam::Bwth, -1},
}};

const EditKey* findEditKey(int key) {
    for (const EditKey& each : kEditKeys) {
        if (each.key == key) return &each;
    }
    return nullptr;
}

constexpr int kWheelStep = 120;  // one notch of a mouse wheel
constexpr double kActiveRingRadius = kHandleRadius + 3.5;

QColor bandColour(int band) { return QColor::fromRgba(kBandColours[static_cast<std::size_t>(band)]); }

}  // namespace

// A sibling laid over the graph rather than a child of it: what the graph control
// shows (and grabs) stays the renderer's picture alone.
CGraphEditor::CGraphEditor(QWidget& graph, EqualizerModel& model, GraphEditHost& host)
    : QWidget(graph.parentWidget()), m_graph(graph), m_model(model), m_host(host) {
    setObjectName(QStringLiteral("graph_editor"));
    setAccessibleName(QStringLiteral("Response graph"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setGeometry(graph.geometry());
    raise();
    graph.installEventFilter(this);
}

void CGraphEditor::setHandlesShown(bool shown) {
    if (shown == m_handlesShown) return;
    m_handlesShown = shown;
    update();
}

QString CGraphEditor::labelText() const {
    const int band = labelBand();
    if (band < 0) return QString();
    return QString::fromStdString(handleText(band, m_model.shown(m_model.currentSet())));
}

int CGraphEditor::handleUnder(QPointF position) const {
    if (!m_handlesShown) return -1;
    return handleAt(m_model.shown(m_model.currentSet()), m_model.activeBand(), position.x(), position.y());
}

int CGraphEditor::labelBand() const {
    if (!m_handlesShown) return -1;
    if (m_dragBand >= 0) return m_dragBand;
    if (m_hoverBand >= 0) return m_hoverBand;
    return hasFocus() ? m_model.activeBand() - 1 : -1;
}

void CGraphEditor::setHover(int band) {
    if (band != m_hoverBand) {
        m_hoverBand = band;
        update();
    }
    if (m_dragBand < 0) {
        if (band >= 0) {
            setCursor(Qt::OpenHandCursor);
        } else {
            unsetCursor();
        }
    }
}

// --- events ---------------------------------------------------------------

bool CGraphEditor::event(QEvent* event) {
    // A box that comes up, or the window going, ends a drag whose release will not come.
    if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide) abandonEdits();
    // Over a handle its label says it all; elsewhere the graph's own tooltip shows.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (handleUnder(help->pos()) < 0 && !m_graph.toolTip().isEmpty()) {
            QToolTip::showText(help->globalPos(), m_graph.toolTip(), this);
        }
        return true;
    }
    return QWidget::event(event);
}

bool CGraphEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_graph && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        setGeometry(m_graph.geometry());
    }
    return QWidget::eventFilter(watched, event);
}

void CGraphEditor::mousePressEvent(QMouseEvent* event) {
    const int band = event->button() == Qt::LeftButton ? handleUnder(event->position()) : -1;
    if (band < 0 || m_dragBand >= 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_model.selectBand(band + 1);
    const HandleSpot spot = handleSpot(band, m_model.shown(m_model.currentSet()));
    m_dragBand = band;
    m_pressPosition = event->position();
    m_grabOffset = QPointF(spot.x, spot.y) - event->position();
    // A band that is off stays off until the pointer really moves sideways.
    m_freqFollows = !spot.off;
    setCursor(Qt::ClosedHandCursor);
    beginEdit();
    update();
}

void CGraphEditor::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragBand >= 0) {
        dragTo(event->position());
    } else {
        setHover(handleUnder(event->position()));
    }
}

void CGraphEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragBand >= 0) {
        dragTo(event->position());
        endDrag();
        setHover(handleUnder(event->position()));
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CGraphEditor::leaveEvent(QEvent* event) {
    if (m_dragBand < 0) setHover(-1);
    QWidget::leaveEvent(event);
}

void CGraphEditor::wheelEvent(QWheelEvent* event) {
    if (!m_handlesShown) {
        event->ignore();
        return;
    }
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / kWheelStep;
    m_wheelDelta -= steps * kWheelStep;
    if (steps == 0) return;
    const int under = handleUnder(event->position());
    const int band = under >= 0 ? under : m_model.activeBand() - 1;
    beginEdit();
    m_model.selectBand(band + 1);
    for (int i = 0; i < std::abs(steps); ++i) m_model.stepBy(paramIndex(band, PeqParam::Bwth), steps > 0 ? 1 : -1);
    endEdit();
    update();
}

void CGraphEditor::keyPressEvent(QKeyEvent* event) {
    const EditKey* key = findEditKey(event->key());
    if (key == nullptr || !m_handlesShown || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    // The poll stays off while the key is held, as while a step button is held.
    if (!m_keyEdit) {
        m_keyEdit = true;
        beginEdit();
    }
    m_model.stepBy(paramIndex(m_model.activeBand() - 1, key->kind), key->delta);
    update();
}

void CGraphEditor::keyReleaseEvent(QKeyEvent* event) {
    if (findEditKey(event->key()) != nullptr && !event->isAutoRepeat() && m_keyEdit) {
        m_keyEdit = false;
        endEdit();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CGraphEditor::focusInEvent(QFocusEvent* event) {
    // Tabbing in starts at EQ1, tabbing back in at EQ3.
    if (event->reason() == Qt::TabFocusReason) m_model.selectBand(1);
    if (event->reason() == Qt::BacktabFocusReason) m_model.selectBand(kEqualizerBands);
    update();
    QWidget::focusInEvent(event);
}

void CGraphEditor::focusOutEvent(QFocusEvent* event) {
    if (m_keyEdit) {
        m_keyEdit = false;
        endEdit();
    }
    update();
    QWidget::focusOutEvent(event);
}

bool CGraphEditor::focusNextPrevChild(bool next) {
    const int active = m_model.activeBand();
    const int chosen = active + (next ? 1 : -1);
    if (!hasFocus() || chosen < 1 || chosen > kEqualizerBands) return QWidget::focusNextPrevChild(next);
    m_model.selectBand(chosen);
    update();
    return true;
}

// --- editing --------------------------------------------------------------

void CGraphEditor::dragTo(QPointF position) {
    const int band = m_dragBand;
    if (!m_freqFollows && std::abs(position.x() - m_pressPosition.x()) >= QApplication::startDragDistance()) {
        m_freqFollows = true;
    }
    const QPointF target = position + m_grabOffset;
    if (m_freqFollows) m_model.stepTo(paramIndex(band, PeqParam::Freq), freqIndexNearX(band, target.x()));
    m_model.stepTo(paramIndex(band, PeqParam::Level), levelNearY(target.y()));
    update();
}

void CGraphEditor::endDrag() {
    m_dragBand = -1;
    endEdit();
    update();
}

void CGraphEditor::abandonEdits() {
    if (m_dragBand < 0 && !m_keyEdit) return;
    m_dragBand = -1;
    m_keyEdit = false;
    // A window that has gone keeps its poll stopped.
    if (!window()->isVisible()) m_edits = 0;
    while (m_edits > 0) endEdit();
    unsetCursor();
    update();
}

void CGraphEditor::beginEdit() {
    if (m_edits++ == 0) m_host.beginGraphEdit();
}

void CGraphEditor::endEdit() {
    if (m_edits > 0 && --m_edits == 0) m_host.endGraphEdit();
}

// --- painting -------------------------------------------------------------

void CGraphEditor::paintEvent(QPaintEvent*) {
    if (!m_handlesShown) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int active = m_model.activeBand() - 1;
    for (int band = 0; band < kEqualizerBands; ++band) {
        if (band != active) paintHandle(painter, band);
    }
    if (active >= 0 && active < kEqualizerBands) paintHandle(painter, active);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    const int labelled = labelBand();
    if (labelled >= 0) paintLabel(painter, labelled);
}

// A disc in the band's colour (a ring when the band is off), ringed in black when
// the band is the active one.
void CGraphEditor::paintHandle(QPainter& painter, int band) const {
    const HandleSpot spot = handleSpot(band, m_model.shown(m_model.currentSet()));
    const QPointF centre(spot.x, spot.y);
    const QColor colour = bandColour(band);
    if (band == m_model.activeBand() - 1) {
        painter.setPen(QPen(Qt::black, 2));
        painter.setBrush(QColor(255, 255, 255, 160));
        painter.drawEllipse(centre, kActiveRingRadius, kActiveRingRadius);
    }
    if (spot.off) {
        painter.setPen(QPen(colour, 3));
        painter.setBrush(Qt::white);
    } else {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(colour);
    }
    painter.drawEllipse(centre, kHandleRadius, kHandleRadius);
}

// The band's values in a box beside its handle, kept inside the graph.
void CGraphEditor::paintLabel(QPainter& painter, int band) const {
    const HandleSpot spot = handleSpot(band, m_model.shown(m_model.currentSet()));
    const QString text = labelText();
    const QFontMetrics metrics(font());
    QRectF box(0, 0, metrics.horizontalAdvance(text) + 10, metrics.height() + 6);
    box.moveBottomLeft(QPointF(spot.x + kActiveRingRadius + 2, spot.y - kActiveRingRadius - 2));
    if (box.right() > width() - 2) box.moveRight(spot.x - kActiveRingRadius - 2);
    if (box.top() < 2) box.moveTop(spot.y + kActiveRingRadius + 2);
    painter.setPen(QPen(bandColour(band), 1.5));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRoundedRect(box, 3, 3);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignCenter, text);
}

}  // namespace tqm
