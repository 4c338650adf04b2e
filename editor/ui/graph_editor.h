#pragma once

#include <QtCore/QPointF>
#include <QtCore/QString>
#include <QtWidgets/QWidget>

namespace tqm {

class EqualizerModel;

// What an edit on the graph asks of the window around it.
class GraphEditHost {
public:
    virtual ~GraphEditHost() = default;
    // An edit begins: the parameter poll stops, as while a step button is held.
    // Blocks 25 ms (the poll's pacing).
    virtual void beginGraphEdit() = 0;
    // The edit has ended: the poll runs again.
    virtual void endGraphEdit() = 0;
};

// Editing on the graph. Lies over the graph control (the graph's parent holds both)
// and draws a handle at the peak
// of each band's curve of the shown set, over the picture and never into it; the
// active band's handle is ringed. Every change it makes is a step of the equalizer
// model, with the buttons' limits:
//   - dragging a handle steps FREQ to the table entry nearest the pointer and LEVEL
//     to the whole dB under it (a band that is off is switched on at the nearest
//     entry once the pointer has moved sideways; a drag never switches a band off);
//   - the wheel over a handle, or elsewhere for the active band, steps BWTH;
//   - with the focus, Tab and Shift+Tab choose the active band (past EQ3 or EQ1 the
//     focus moves on), Left/Right step FREQ, Up/Down LEVEL, Page Up/Page Down BWTH.
// A hovered, dragged or (with the focus) active handle shows its band's values.
class CGraphEditor final : public QWidget {
    Q_OBJECT

public:
    // Lays itself over the graph and follows its geometry.
    CGraphEditor(QWidget& graph, EqualizerModel& model, GraphEditHost& host);

    // The handles are hidden while the graph shows no curves.
    void setHandlesShown(bool shown);
    bool handlesShown() const { return m_handlesShown; }
    // What the labelled handle shows ("EQ2 1000 Hz +9 dB BWTH 7"); empty when none is.
    QString labelText() const;
    // The band (0..2) whose handle is being dragged, or -1.
    int draggedBand() const { return m_dragBand; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    int handleUnder(QPointF position) const;
    int labelBand() const;
    void setHover(int band);
    void dragTo(QPointF position);
    void endDrag();
    void abandonEdits();
    void beginEdit();
    void endEdit();
    void paintHandle(QPainter& painter, int band) const;
    void paintLabel(QPainter& painter, int band) const;

    QWidget& m_graph;
    EqualizerModel& m_model;
    GraphEditHost& m_host;
    bool m_handlesShown = true;
    int m_hoverBand = -1;
    int m_dragBand = -1;
    QPointF m_pressPosition;
    QPointF m_grabOffset;     // from the pointer to the handle's centre
    bool m_freqFollows = false;
    bool m_keyEdit = false;   // an editing key is down
    int m_edits = 0;          // edits under way that hold the poll
    int m_wheelDelta = 0;     // wheel movement short of one step
};

}  // namespace tqm
