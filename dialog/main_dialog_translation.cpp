// frmKartoplot as the translation sees it: captions, tooltips, option and button captions by
// element index, tab captions and list column headers, all addressed by system name.
#include <QAbstractButton>

#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"

namespace kartoplot::dialog {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The caption of a widget that has one: labels, buttons, check and option boxes, frames.
bool setWidgetCaption(QWidget* widget, const std::string& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(qs(text));
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(qs(text));
        return true;
    }
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(qs(text));
        return true;
    }
    return false;
}

}  // namespace

void frmKartoplot::applyLanguageTexts() {
    language::TranslateMainForm(*this, language_);
    for (const auto& [button, label] : ui_->toolLabels) {
        label->setText(button->toolTip());
        label->setToolTip(button->toolTip());
    }
}

void frmKartoplot::setFormCaption(const std::string& text) { setWindowTitle(qs(text)); }

std::vector<std::string> frmKartoplot::controlNames() const { return ui_->order; }

bool frmKartoplot::setCaption(const std::string& name, const std::string& text) {
    QWidget* widget = control(qs(name));
    return widget != nullptr && setWidgetCaption(widget, text);
}

bool frmKartoplot::setToolTip(const std::string& name, const std::string& text) {
    QWidget* widget = control(qs(name));
    if (widget == nullptr) {
        return false;
    }
    widget->setToolTip(qs(text));
    return true;
}

bool frmKartoplot::setElementCaption(const std::string& name, int index, const std::string& text) {
    QWidget* widget = control(qs(name), index);
    return widget != nullptr && setWidgetCaption(widget, text);
}

bool frmKartoplot::setElementToolTip(const std::string& name, int index, const std::string& text) {
    QWidget* widget = control(qs(name), index);
    if (widget == nullptr) {
        return false;
    }
    widget->setToolTip(qs(text));
    return true;
}

bool frmKartoplot::setTabCaption(const std::string& name, int tab, const std::string& text) {
    auto* tabs = qobject_cast<QTabWidget*>(control(qs(name)));
    if (tabs == nullptr || tab < 0 || tab >= tabs->count()) {
        return false;
    }
    tabs->setTabText(tab, qs(text));
    return true;
}

int frmKartoplot::currentTab(const std::string& name) const {
    const auto* tabs = qobject_cast<const QTabWidget*>(control(qs(name)));
    return tabs == nullptr ? -1 : tabs->currentIndex();
}

void frmKartoplot::setCurrentTab(const std::string& name, int tab) {
    if (auto* tabs = qobject_cast<QTabWidget*>(control(qs(name)))) {
        tabs->setCurrentIndex(tab);
    }
}

bool frmKartoplot::setColumnHeader(const std::string& name, int column, const std::string& text) {
    auto* list = qobject_cast<QTreeWidget*>(control(qs(name)));
    if (list == nullptr || column < 1 || column > list->columnCount()) {
        return false;
    }
    // The chart field list shows three of its six columns: the swatch, the field name and the
    // legend field name; its three translated headers belong to those (the field position
    // between them is kept for the program and hidden).
    int target = column - 1;
    if (name == "LstViewFields" && target == kColFieldsID) {
        target = kColFieldsOld;
    }
    list->headerItem()->setText(target, qs(text));
    return true;
}

}  // namespace kartoplot::dialog
