#include "dialog/plain_form.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

namespace kartoplot::dialog {

QWidget* PlainTranslatableForm::control(const QString& name) const {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

void PlainTranslatableForm::setFormCaption(const std::string& text) {
    formWidget().setWindowTitle(QString::fromStdString(text));
}

bool PlainTranslatableForm::setCaption(const std::string& name, const std::string& text) {
    QWidget* widget = control(QString::fromStdString(name));
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(QString::fromStdString(text));
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(QString::fromStdString(text));
        return true;
    }
    return false;
}

bool PlainTranslatableForm::setToolTip(const std::string& name, const std::string& text) {
    QWidget* widget = control(QString::fromStdString(name));
    if (widget == nullptr) {
        return false;
    }
    widget->setToolTip(QString::fromStdString(text));
    return true;
}

}  // namespace kartoplot::dialog
