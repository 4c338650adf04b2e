#pragma once

#include <initializer_list>

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>

namespace tqm {

// A dialog's row of buttons, none pressed by Return: Return in a list or field of the
// dialog must not fit, use or close anything.
inline QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    for (QPushButton* button : buttons) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    return row;
}

}  // namespace tqm
