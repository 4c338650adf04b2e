#include "editor/ui/splash_dlg.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "editor/ui/resource_init.h"

namespace tqm {
namespace {

constexpr QRgb kKeyColour = 0xFF00FF00u;  // pure green shows the dialog behind it

// The logo with its key colour made transparent, scaled to the dialog.
QPixmap keyedLogo() {
    ensureResources();
    QImage logo = QImage(":/bitmaps/879").convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < logo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(logo.scanLine(y));
        for (int x = 0; x < logo.width(); ++x) {
            if (row[x] == kKeyColour) row[x] = 0;
        }
    }
    return QPixmap::fromImage(logo.scaled(CSplashDlg::kWidth, CSplashDlg::kHeight, Qt::IgnoreAspectRatio,
                                          Qt::SmoothTransformation));
}

}  // namespace

CSplashDlg::CSplashDlg(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_logo(keyedLogo()) {
    setFixedSize(kWidth, kHeight);
    setModal(true);
}

void CSplashDlg::closeSplash() {
    m_closing = true;
    done(QDialog::Accepted);
}

void CSplashDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_logo);
}

void CSplashDlg::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

}  // namespace tqm
