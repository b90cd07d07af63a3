// FrmMultyFieldsDelete: the modal dialog that deletes several attribute fields of one layer at
// once. The user ticks fields in LstFields and presses CmdDel; one confirmation naming the
// fields follows, then the fields are deleted from the layer's feature class in the map (the
// layer's data file is not touched).
//
// Every control carries its system name as objectName (LblLayerName, LstFields, CmdDel,
// CmdCancel). The object-id and shape fields are not offered: without them the layer is no
// layer any more. Handlers never let an exception escape (failures go to HandleError under
// "FrmMultyFieldsDelete").
#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "host/features.h"
#include "host/interaction.h"
#include "language/messages.h"
#include "dialog/plain_form.h"

namespace kartoplot::fielddelete {

// The module name the dialog's error records carry.
inline constexpr const char* kFieldDeleteModule = "FrmMultyFieldsDelete";

class FrmMultyFieldsDelete final : public QDialog, public dialog::PlainTranslatableForm {
    Q_OBJECT

public:
    explicit FrmMultyFieldsDelete(QWidget* parent = nullptr);
    ~FrmMultyFieldsDelete() override;

    // Set these before Form_Load: the main dialog's language, the service that asks the
    // confirmation, the feature class whose fields are deleted and the layer name to show.
    void setLanguage(std::string language);
    void setInteraction(std::shared_ptr<host::UserInteraction> interaction);
    void setFeatureClass(std::shared_ptr<host::FeatureClass> featureClass);
    void setLayerName(const std::string& name);

    // Translates the captions and lists every field of the feature class except the object-id
    // and shape fields, in the class's field order. Without a feature class the list is empty.
    void Form_Load();

    // Deletes the selected fields after one Yes to a question naming them, then closes the
    // dialog (accepted when a field was deleted). No field selected: closes, nothing deleted.
    // No: nothing deleted, the dialog stays open. The first failing deletion ends the loop and
    // is reported ("CmdDel_Click FrmMultyFieldsDelete Line : N"); fields deleted before it
    // stay deleted. A name the class no longer has is passed over.
    void CmdDel_Click();
    // Closes the dialog without changes.
    void CmdCancel_Click();

    // The fields CmdDel deleted, in list order.
    const std::vector<std::string>& deletedFields() const noexcept { return deleted_; }



private:
    QWidget& formWidget() override { return *this; }
    struct Ui;

    void buildUi();

    std::unique_ptr<Ui> ui_;
    std::string language_ = std::string(language::kRussian);
    std::shared_ptr<host::UserInteraction> interaction_;
    std::shared_ptr<host::FeatureClass> featureClass_;
    std::vector<std::string> deleted_;
};

}  // namespace kartoplot::fielddelete
