// The controls of a small dialog by their system names, and its translation side: captions and
// tooltips are set on labels, buttons and check boxes by name, and the form has no control
// arrays, tabs or list headers. The relation, archive and field deletion dialogs share it.
#pragma once

#include <QString>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "language/translation.h"

namespace kartoplot::dialog {

class PlainTranslatableForm : public language::TranslatableForm {
public:
    // The control of that system name, or nullptr.
    QWidget* control(const QString& name) const;
    // The control names in creation order.
    std::vector<std::string> controlNames() const override { return order_; }

    void setFormCaption(const std::string& text) override;
    // A label's or button's text; false for other controls and unknown names.
    bool setCaption(const std::string& name, const std::string& text) override;
    bool setToolTip(const std::string& name, const std::string& text) override;
    bool setElementCaption(const std::string&, int, const std::string&) override { return false; }
    bool setElementToolTip(const std::string&, int, const std::string&) override { return false; }
    bool setTabCaption(const std::string&, int, const std::string&) override { return false; }
    int currentTab(const std::string&) const override { return -1; }
    void setCurrentTab(const std::string&, int) override {}
    bool setColumnHeader(const std::string&, int, const std::string&) override { return false; }

protected:
    // The dialog window itself.
    virtual QWidget& formWidget() = 0;
    // Gives the control its system name (as its objectName too) and registers it, in order.
    template <class W>
    W* addControl(W* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        controls_[QString::fromLatin1(name)] = widget;
        order_.emplace_back(name);
        return widget;
    }

private:
    std::map<QString, QWidget*> controls_;  // owned by the dialog's widget tree
    std::vector<std::string> order_;
};

}  // namespace kartoplot::dialog
