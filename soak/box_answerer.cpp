#include "soak/box_answerer.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

namespace tqm::soak {

BoxAnswerer::BoxAnswerer() {
    m_timer.setInterval(100);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
    m_timer.start();
}

bool BoxAnswerer::boxOpen() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) return true;
    }
    return false;
}

void BoxAnswerer::answer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            m_texts.push_back(box->text().toStdString());
            box->accept();
        }
    }
}

}  // namespace tqm::soak
