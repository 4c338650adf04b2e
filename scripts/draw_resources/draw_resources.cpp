// Draws the pictures of resources/ for this program: step-button icons, the
// connection lamps, the window icon and the splash logo. Run by
// scripts/draw-resources, which writes the PNG files that resources.qrc lists.
#include <cmath>
#include <cstdio>

#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPolygonF>
#include <QtCore/QDir>
#include <QtCore/QString>

namespace {

const QColor kArrow(32, 32, 40);

QImage blank(int w, int h, const QColor& fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

void triangle(QPainter& p, QPointF a, QPointF b, QPointF c) {
    p.drawPolygon(QPolygonF({a, b, c}));
}

// Icon with a painter already set up for a filled dark shape.
template <typename Draw>
QImage icon(Draw draw) {
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    draw(p);
    return image;
}

QImage lamp(const QColor& centre, const QColor& rim) {
    QImage image = blank(20, 20);  // no square behind the lamp: the window shows through
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(8, 7), 10);
    glow.setColorAt(0, Qt::white);
    glow.setColorAt(0.35, centre);
    glow.setColorAt(1, rim);
    p.setBrush(glow);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.drawEllipse(QRectF(1.5, 1.5, 17, 17));
    return image;
}

// A small response curve for decoration: a bell of height h at x0 in a width w.
QPainterPath bell(double x0, double width, double base, double height, double span) {
    QPainterPath path;
    for (int i = 0; i <= 200; ++i) {
        const double x = x0 - span / 2 + span * i / 200.0;
        const double r = (x - x0) / width;
        const double y = base - height / (1.0 + r * r);
        if (i == 0) {
            path.moveTo(x, y);
        } else {
            path.lineTo(x, y);
        }
    }
    return path;
}

QImage windowIcon() {
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 30, 70), 1));
    p.setBrush(QColor(24, 40, 96));
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);
    p.setPen(QPen(QColor(255, 128, 0), 1, Qt::DotLine));
    p.drawLine(QPointF(3, 20), QPointF(29, 20));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 70, 70), 2));
    p.drawPath(bell(9, 3, 20, 10, 12));
    p.setPen(QPen(QColor(90, 140, 255), 2));
    p.drawPath(bell(16, 3, 20, -6, 12));
    p.setPen(QPen(QColor(60, 230, 60), 2));
    p.drawPath(bell(23, 3, 20, 12, 12));
    return image;
}

QImage logo() {
    const int w = 1611;
    const int h = 589;
    QImage image = blank(w, h, QColor(0, 255, 0));  // pure green: the transparent key
    QPainter p(&image);
    // The panel edge is drawn without smoothing so that no pixel mixes with the key.
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient panel(0, 0, 0, h);
    panel.setColorAt(0, QColor(28, 44, 104));
    panel.setColorAt(1, QColor(8, 14, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(panel);
    p.drawRoundedRect(QRect(40, 40, w - 80, h - 80), 60, 60);

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    // Grid and the three band curves on the right.
    const QRectF graph(930, 120, 560, 300);
    p.setPen(QPen(QColor(255, 128, 0, 140), 3, Qt::DotLine));
    for (int i = 0; i <= 6; ++i) {
        const double y = graph.top() + graph.height() * i / 6.0;
        p.drawLine(QPointF(graph.left(), y), QPointF(graph.right(), y));
    }
    p.setPen(QPen(QColor(255, 128, 0), 6));
    const double zero = graph.center().y();
    p.drawLine(QPointF(graph.left(), zero), QPointF(graph.right(), zero));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 70, 70), 9));
    p.drawPath(bell(1060, 45, zero, 110, 260));
    p.setPen(QPen(QColor(90, 140, 255), 9));
    p.drawPath(bell(1210, 40, zero, -80, 260));
    p.setPen(QPen(QColor(70, 220, 70), 9));
    p.drawPath(bell(1370, 50, zero, 130, 260));

    QFont big("Liberation Sans");
    big.setPixelSize(190);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRectF(110, 60, 800, 230), Qt::AlignLeft | Qt::AlignVCenter, "TQM");
    QFont model("Liberation Sans");
    model.setPixelSize(120);
    model.setBold(true);
    p.setFont(model);
    p.setPen(QColor(255, 196, 64));
    p.drawText(QRectF(110, 295, 800, 140), Qt::AlignLeft | Qt::AlignVCenter, "4700");
    QFont line("Liberation Sans");
    line.setPixelSize(56);
    p.setFont(line);
    p.setPen(QColor(220, 228, 255));
    p.drawText(QRectF(110, 440, w - 220, 70), Qt::AlignLeft | Qt::AlignVCenter,
               "Parametric Equalizer Control for ZR-4700");
    return image;
}

bool save(const QImage& image, const QString& dir, const char* name) {
    const QString path = dir + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_resources OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    // Outward arrowheads (wider band).
    const QImage outward = icon([](QPainter& p) {
        triangle(p, {2, 16}, {13, 7}, {13, 25});
        triangle(p, {30, 16}, {19, 7}, {19, 25});
    });
    // Inward arrowheads (narrower band).
    const QImage inward = icon([](QPainter& p) {
        triangle(p, {14, 16}, {3, 7}, {3, 25});
        triangle(p, {18, 16}, {29, 7}, {29, 25});
    });
    const QImage down = icon([](QPainter& p) {
        p.drawRect(QRectF(12, 3, 8, 15));
        triangle(p, {4, 16}, {28, 16}, {16, 29});
    });
    const QImage left = icon([](QPainter& p) { triangle(p, {7, 16}, {24, 4}, {24, 28}); });
    const QImage right = icon([](QPainter& p) { triangle(p, {25, 16}, {8, 4}, {8, 28}); });
    const QImage up = icon([](QPainter& p) {
        p.drawRect(QRectF(12, 14, 8, 15));
        triangle(p, {4, 16}, {28, 16}, {16, 3});
    });

    bool ok = save(outward, out, "icon_929_bwth_wide.png");
    ok = save(inward, out, "icon_930_bwth_narrow.png") && ok;
    ok = save(down, out, "icon_931_level_down.png") && ok;
    ok = save(left, out, "icon_932_freq_down.png") && ok;
    ok = save(right, out, "icon_933_freq_up.png") && ok;
    ok = save(up, out, "icon_934_level_up.png") && ok;
    ok = save(lamp(QColor(255, 230, 0), QColor(190, 150, 0)), out, "lamp_923_on.png") && ok;
    ok = save(lamp(QColor(176, 176, 176), QColor(110, 110, 110)), out, "lamp_924_off.png") && ok;
    ok = save(windowIcon(), out, "icon_892_window.png") && ok;
    ok = save(logo(), out, "logo_879.png") && ok;
    return ok ? 0 : 1;
}
