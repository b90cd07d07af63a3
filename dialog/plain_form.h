// The translation side of a small dialog whose controls are labels, buttons and check boxes
// found by their system names: captions and tooltips are set on them, and the form has no
// control arrays, tabs or list headers. The relation, archive and field deletion dialogs share it.
#pragma once

#include <QString>

#include <string>

#include "language/translation.h"

class QWidget;

namespace kartoplot::dialog {

class PlainTranslatableForm : public language::TranslatableForm {
public:
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
    // The dialog window itself, and its control of a system name (nullptr when there is none).
    virtual QWidget& formWidget() = 0;
    virtual QWidget* control(const QString& name) const = 0;
};

}  // namespace kartoplot::dialog
