#include "editor/ui/ports_dlg.h"

#include <string>

#include <QtWidgets/QComboBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QVBoxLayout>

#include "editor/ui/control_id.h"
#include "editor/ui/program_font.h"
#include "serial/port_binding.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "serial/sio_port_tables.h"

namespace tqm {
namespace {

constexpr int kFontPoints = 8;
constexpr QSize kInitialSize(640, 520);

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

QTreeWidget* makeTable(QWidget* owner, ControlId id, const QStringList& headers, const char* tip) {
    auto* table = new QTreeWidget(owner);
    table->setObjectName(controlName(id));
    table->setHeaderLabels(headers);
    table->setRootIsDecorated(false);
    table->setAllColumnsShowFocus(true);
    table->setToolTip(QString::fromLatin1(tip));
    table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->header()->setStretchLastSection(true);
    return table;
}

QPushButton* makeButton(QWidget* owner, ControlId id, const char* text, const char* tip) {
    auto* button = new QPushButton(QString::fromLatin1(text), owner);
    button->setObjectName(controlName(id));
    button->setToolTip(QString::fromLatin1(tip));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CPortsDlg::CPortsDlg(QWidget* parent, std::filesystem::path deviceRoot)
    : QDialog(parent), m_deviceRoot(std::move(deviceRoot)) {
    setObjectName(controlName(ControlId::PortsDialog));
    setWindowTitle(QStringLiteral("Ports"));
    QFont font(QString::fromLatin1(kProgramFontFamily));
    font.setPointSize(kFontPoints);
    setFont(font);
    buildControls();
    fillDevices();
    fillComNumbers();
    resize(kInitialSize);
}

void CPortsDlg::buildControls() {
    m_devices = makeTable(this, ControlId::FoundDevices, {QStringLiteral("Device"), QStringLiteral("What it is")},
                          "The serial devices on this machine; the one chosen is taken for the binding below");
    m_comNumbers = makeTable(this, ControlId::ComDevices,
                             {QStringLiteral("COM"), QStringLiteral("Device"), QStringLiteral("State")},
                             "The device each COM number opens; choose one to change it below");
    m_comChoice = new QComboBox(this);
    m_comChoice->setObjectName(controlName(ControlId::BindComNumber));
    m_comChoice->setToolTip(QStringLiteral("The COM number to bind"));
    for (const Sio_PortName& entry : kSioPortNames) {
        if (entry.number != 0) m_comChoice->addItem(QString::fromLatin1(entry.name), entry.number);
    }
    m_target = new QLineEdit(this);
    m_target->setObjectName(controlName(ControlId::BindTarget));
    m_target->setPlaceholderText(QStringLiteral("/dev/serial/by-id/... or a device path"));
    m_target->setToolTip(QStringLiteral("The device the COM number opens: a found device or any path"));
    QPushButton* bindButton = makeButton(this, ControlId::BindButton, "&Bind", "Bind the COM number to the device");
    QPushButton* defaultButton =
        makeButton(this, ControlId::DefaultButton, "&Default", "Give the COM number its default device back");
    QPushButton* close = makeButton(this, ControlId::DialogCancel, "Close", "Close this window");
    m_result = new QLabel(this);
    m_result->setObjectName(controlName(ControlId::BindResult));
    m_result->setWordWrap(true);
    m_result->setToolTip(QStringLiteral("What the last binding did"));

    auto* bindRow = new QHBoxLayout;
    bindRow->addWidget(m_comChoice);
    bindRow->addWidget(m_target, 1);
    bindRow->addWidget(bindButton);
    bindRow->addWidget(defaultButton);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Serial devices found on this machine:"), this));
    layout->addWidget(m_devices, 2);
    layout->addWidget(new QLabel(QStringLiteral("COM numbers and the devices they open:"), this));
    layout->addWidget(m_comNumbers, 3);
    layout->addLayout(bindRow);
    layout->addWidget(m_result);
    layout->addLayout(closeRow);

    connect(m_devices, &QTreeWidget::itemDoubleClicked, this, [this] { chooseDevice(); });
    connect(m_devices, &QTreeWidget::itemSelectionChanged, this, [this] { chooseDevice(); });
    connect(m_comNumbers, &QTreeWidget::itemSelectionChanged, this, [this] {
        const int row = m_comNumbers->indexOfTopLevelItem(m_comNumbers->currentItem());
        if (row >= 0) m_comChoice->setCurrentIndex(row);
    });
    const auto chosenCom = [this] { return m_comChoice->currentData().toInt(); };
    connect(bindButton, &QPushButton::clicked, this, [this, chosenCom] { bind(chosenCom(), m_target->text()); });
    connect(defaultButton, &QPushButton::clicked, this, [this, chosenCom] { bind(chosenCom(), QString()); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CPortsDlg::fillDevices() {
    m_found = SerialPortDiscovery(m_deviceRoot).find();
    m_devices->clear();
    for (const FoundSerialPort& port : m_found) {
        auto* item = new QTreeWidgetItem(m_devices, {fromStd(port.path), fromStd(port.description())});
        item->setToolTip(0, fromStd(port.device));
    }
    if (m_found.empty()) new QTreeWidgetItem(m_devices, {QString(), QStringLiteral("no serial device found")});
}

void CPortsDlg::fillComNumbers() {
    const PortMap map;
    const int inUse = Sio_Port().portNumber();
    m_comNumbers->clear();
    for (const Sio_PortName& entry : kSioPortNames) {
        if (entry.number == 0) break;
        QString state = map.deviceExists(entry.number) ? QStringLiteral("present") : QStringLiteral("not present");
        if (entry.number == inUse) state += QStringLiteral(", in use");
        new QTreeWidgetItem(m_comNumbers, {QString::fromLatin1(entry.name), fromStd(map.path(entry.number)), state});
    }
}

void CPortsDlg::chooseDevice() {
    const int row = m_devices->indexOfTopLevelItem(m_devices->currentItem());
    if (row >= 0 && row < static_cast<int>(m_found.size())) {
        m_target->setText(fromStd(m_found[static_cast<std::size_t>(row)].path));
    }
}

bool CPortsDlg::bind(int comNumber, const QString& target) {
    const std::string chosen = PortBinding::stableName(target.trimmed().toStdString(), m_found);
    const std::string before = PortMap().path(comNumber);
    std::string problem;
    if (PortBinding::bind(comNumber, chosen, problem) != PortBindResult::Bound) {
        showResult(QStringLiteral("COM%1 was not bound: %2").arg(comNumber).arg(fromStd(problem)), true);
        return false;
    }
    const std::string after = PortMap().path(comNumber);
    // The port in use opens the new device from the next command on.
    if (comNumber == Sio_Port().portNumber() && after != before) PortDialogController::switchLinkOffAndClose();
    fillComNumbers();
    showResult(QStringLiteral("COM%1 opens %2").arg(comNumber).arg(fromStd(after)), false);
    return true;
}

void CPortsDlg::showResult(const QString& text, bool failed) {
    m_result->setText(text);
    m_result->setStyleSheet(failed ? QStringLiteral("color: #b00000;") : QString());
}

}  // namespace tqm
