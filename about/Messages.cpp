#include "Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace tinko {

void MessageBoxes::inform(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

void MessageBoxes::warn(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool MessageBoxes::askToRetry(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text,
                    QMessageBox::NoButton, parent);
    QPushButton* retry = box.addButton(QStringLiteral("重试"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("放弃"), QMessageBox::RejectRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
}

}  // namespace tinko
