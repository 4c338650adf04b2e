#include "editor/ui/connecting_dlg.h"

#include <QtGui/QCloseEvent>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "editor/string_table.h"
#include "editor/ui/control_id.h"
#include "editor/ui/program_font.h"
#include "editor/ui/qt_text.h"

namespace tqm {
namespace {

// 218 x 81 dialog units of an 8-point Arial dialog.
constexpr int kWidth = 327;
constexpr int kHeight = 132;

}  // namespace

CConnectingDlg::CConnectingDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(controlName(ControlId::ConnectingBox));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    QFont font(QString::fromLatin1(kProgramFontFamily));
    font.setPointSize(8);
    setFont(font);
    setStyleSheet(QStringLiteral("CConnectingDlg { border: 1px solid #808080; }"));

    m_text = new QLabel(toQString(loadString(IDS_CONNECTING)), this);
    m_text->setObjectName(controlName(ControlId::ConnectingText));
    m_text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);

    // The template's buttons, kept but never shown.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(controlName(ControlId::DialogOk));
    ok->hide();
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(controlName(ControlId::DialogCancel));
    cancel->hide();
}

void CConnectingDlg::closeByWindow() {
    m_closing = true;
    done(QDialog::Accepted);
    m_closing = false;
}

void CConnectingDlg::closeEvent(QCloseEvent* event) {
    if (!m_closing) event->ignore();
}

}  // namespace tqm
