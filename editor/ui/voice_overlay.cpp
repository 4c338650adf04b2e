#include "editor/ui/voice_overlay.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include "editor/graph_axes.h"
#include "editor/response_curve.h"
#include "voice/equalizer_fit.h"

namespace tqm {
namespace {

const QColor kSpectrumFill(128, 128, 128, 90);
const QColor kSpectrumEdge(110, 110, 110);
const QColor kProductColour(150, 0, 150);
const QColor kTargetColour(60, 60, 60);

QPointF graphPoint(std::size_t i, double db) { return {graphX(GRAPH_SAMPLE_FREQS[i]), graphY(db)}; }

QPainterPath linePath(const VoiceSpectrum& db) {
    QPainterPath path(graphPoint(0, db[0]));
    for (std::size_t i = 1; i < db.size(); ++i) path.lineTo(graphPoint(i, db[i]));
    return path;
}

}  // namespace

void VoiceOverlay::paint(QPainter& painter, const EqualizerValues& values) const {
    if (!m_voice) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(QRectF(0, 0, kGraphPlotRight, kGraphHeight));
    if (m_spectrumShown) paintSpectrum(painter);
    VoiceSpectrum product = *m_voice;
    for (std::size_t i = 0; i < product.size(); ++i) product[i] += sumResponse(values, GRAPH_SAMPLE_FREQS[i]);
    if (m_target) paintTarget(painter, product);
    if (m_productShown) paintProduct(painter, product);
    painter.restore();
}

void VoiceOverlay::paintSpectrum(QPainter& painter) const {
    QPainterPath area = linePath(*m_voice);
    area.lineTo(graphX(GRAPH_SAMPLE_FREQS.back()), kGraphHeight);
    area.lineTo(0, kGraphHeight);
    area.closeSubpath();
    painter.setPen(QPen(kSpectrumEdge, 1));
    painter.setBrush(kSpectrumFill);
    painter.drawPath(area);
}

void VoiceOverlay::paintProduct(QPainter& painter, const VoiceSpectrum& product) const {
    painter.setPen(QPen(kProductColour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(linePath(product));
}

// The target is drawn where it lies best over voice x equalizer in the fit's range,
// weighted as the fit weighs it.
void VoiceOverlay::paintTarget(QPainter& painter, const VoiceSpectrum& product) const {
    VoiceSpectrum target{};
    double offset = 0.0;
    double weights = 0.0;
    for (std::size_t i = 0; i < target.size(); ++i) {
        const double hz = GRAPH_SAMPLE_FREQS[i];
        target[i] = m_target->at(hz);
        if (hz < kFitLowHz || hz > kFitHighHz) continue;
        const double weight = hz >= kFitMainHz ? 1.0 : kFitLowWeight;
        offset += weight * (product[i] - target[i]);
        weights += weight;
    }
    for (double& db : target) db += offset / weights;
    painter.setPen(QPen(kTargetColour, 2, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(linePath(target));
}

}  // namespace tqm
