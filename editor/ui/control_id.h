#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QtGlobal>

namespace tqm {

// The controls of the program's windows by their resource numbers. A control's
// object name is "id_" and its number (see controlName).
enum class ControlId : int {
    DialogOk = 1,  // also the main window's hidden default button
    DialogCancel = 2,

    // Main window: the graph, the lamp and the command buttons.
    Graph = 1071,
    Lamp = 1171,
    CancelButton = 1026,
    FileLoadButton = 1027,
    FileSaveButton = 1028,
    AppliButton = 1114,
    ComButton = 1167,
    ExitButton = 1172,
    StatusLine = 1180,

    // Each band: its frame, the row labels, the value statics and the step buttons.
    Eq1Frame = 1082,
    Eq1FreqLabel = 1074,
    Eq1LevelLabel = 1075,
    Eq1BwthLabel = 1080,
    Eq1FreqValue = 1076,
    Eq1LevelValue = 1077,
    Eq1BwthValue = 1081,
    Eq1FreqDown = 1155,
    Eq1FreqUp = 1156,
    Eq1LevelUp = 1157,
    Eq1LevelDown = 1158,
    Eq1BwthUp = 1078,
    Eq1BwthDown = 1079,

    Eq2Frame = 1097,
    Eq2FreqLabel = 1087,
    Eq2LevelLabel = 1088,
    Eq2BwthLabel = 1093,
    Eq2FreqValue = 1089,
    Eq2LevelValue = 1090,
    Eq2BwthValue = 1094,
    Eq2FreqDown = 1159,
    Eq2FreqUp = 1160,
    Eq2LevelUp = 1161,
    Eq2LevelDown = 1162,
    Eq2BwthUp = 1091,
    Eq2BwthDown = 1092,

    Eq3Frame = 1110,
    Eq3FreqLabel = 1100,
    Eq3LevelLabel = 1101,
    Eq3BwthLabel = 1106,
    Eq3FreqValue = 1102,
    Eq3LevelValue = 1103,
    Eq3BwthValue = 1107,
    Eq3FreqDown = 1163,
    Eq3FreqUp = 1164,
    Eq3LevelUp = 1165,
    Eq3LevelDown = 1166,
    Eq3BwthUp = 1104,
    Eq3BwthDown = 1105,

    // Main window menu.
    MenuExit = 32779,
    MenuComSelect = 32780,
    MenuBaudRate = 32781,
    MenuSetF = 32782,
    MenuSetR = 32783,
    MenuSetP = 32784,
    MenuVersion = 32785,
    MenuPorts = 32786,
    MenuVoiceSpectrum = 32787,  // View: the voice spectrum on the graph
    MenuVoiceProduct = 32788,   // View: voice x equalizer on the graph
    MenuVoice = 32789,          // View: the Voice dialog

    // The connecting box and its text.
    ConnectingBox = 902,
    ConnectingText = 1053,
    // The list of the COM Select and Baud rate dialogs.
    PortList = 1019,
    // The Ports dialog: the devices found, the COM numbers with their devices, and
    // the binding of a COM number to a device.
    PortsDialog = 600,
    FoundDevices = 1201,
    ComDevices = 1202,
    BindComNumber = 1203,
    BindTarget = 1204,
    BindButton = 1205,
    DefaultButton = 1206,
    BindResult = 1207,
    // The version dialog's two texts.
    VersionText = 1048,
    VersionNotice = 1049,
};

inline QString controlName(ControlId id) { return QStringLiteral("id_%1").arg(static_cast<int>(id)); }

// The control of that id and type among a window's children. Each window looks its
// controls up once, as it is built: a control missing from its template stops the
// program there, never later on first use.
template <typename T>
T& requireControl(const QObject& window, ControlId id) {
    T* const control = window.findChild<T*>(controlName(id));
    if (control == nullptr) {
        qFatal("%s: no %s named %s", qPrintable(window.objectName()), T::staticMetaObject.className(),
               qPrintable(controlName(id)));
    }
    return *control;
}

}  // namespace tqm
