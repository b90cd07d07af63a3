// FrmRelaFields: the modal dialog that pairs the chart fields chosen in the main dialog with the
// fields saved in a legend, so that each chart field can take its partner's fill symbol; and
// RelateLegendFields, which drives one such dialog for one legend load.
//
// Every control carries its system name as objectName (LstFields, LstFieldsOld, LstFieldsRel,
// CmdFieldRelationON, CmdFieldRelationOFF, CmdFieldsOffAll, CmdAuto, CmdOK, LblFields1,
// LblFields2, Label3). The lists show the FieldRelation model; the buttons change the model and
// never let an exception escape (failures go to HandleError under "FrmRelaFields").
// Closing the window (or Escape) ends the modal wait like CmdOK: the pairs made so far are kept.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/interaction.h"
#include "language/messages.h"
#include "dialog/plain_form.h"
#include "relation/field_relation.h"

namespace kartoplot::relation {

// The module name the dialog's error records carry.
inline constexpr const char* kRelationModule = "FrmRelaFields";

class FrmRelaFields final : public QDialog, public dialog::PlainTranslatableForm {
    Q_OBJECT

public:
    explicit FrmRelaFields(QWidget* parent = nullptr);
    ~FrmRelaFields() override;

    // The main dialog's current language, and the service that shows aSort's message. Set both
    // before PopulateArrays.
    void setLanguage(std::string language);
    void setInteraction(std::shared_ptr<host::UserInteraction> interaction);

    // Keeps copies of both tables and loads the dialog: translates its captions, fills LstFields
    // from aFlds and LstFieldsOld from aFldsOld, and clears LstFieldsRel.
    void PopulateArrays(const FieldTable& aFlds, const FieldTable& aFldsOld);
    // Adds the automatic pairs (FieldRelation::autoMapping) and shows the lists; returns the
    // number of pairs added minus 1 (-1 when none).
    int AutoMapping(bool NewFieldsOrder);
    // Sets arr to the pairs shown in LstFieldsRel; with no pairs arr is left as it was.
    void GetMappingArray(PairTable& arr) const;
    // sortColumnsByRow. A row outside arr shows "Номер колонки ( N ) < 0 или >H" titled "aSort"
    // and gives false, arr unchanged; throws HostError when no interaction service is set then.
    bool aSort(TextTable& arr, int RowNum, bool TextComp);

    // Pairs the first selected entries of LstFields and LstFieldsOld; nothing without both.
    void CmdFieldRelationON_Click();
    // Undoes the first selected pair of LstFieldsRel; nothing without one.
    void CmdFieldRelationOFF_Click();
    void CmdFieldsOffAll_Click();
    // AutoMapping(true).
    void CmdAuto_Click();
    // Closes the dialog; a modal wait ends and the pairs are read as they stand.
    void CmdOK_Click();

    const FieldRelation& relation() const noexcept { return relation_; }


private:
    QWidget& formWidget() override { return *this; }
    struct Ui;

    void buildUi();
    // Shows the model in LstFields and LstFieldsRel (and LstFieldsOld with withSaved).
    void showLists(bool withSaved);
    template <class Body>
    void trapped(const char* procedure, Body&& body);

    std::unique_ptr<Ui> ui_;
    std::string language_ = std::string(language::kRussian);
    std::shared_ptr<host::UserInteraction> interaction_;
    language::RelationMessages messages_;
    FieldRelation relation_;
};

// How RelateLegendFields presents its dialog.
struct RelateOptions {
    std::string language = std::string(language::kRussian);
    std::shared_ptr<host::UserInteraction> interaction;
    QWidget* parent = nullptr;  // owner window of the dialog, not owned; may be nullptr
    // Shows the filled dialog modally and returns when it has closed; empty: dialog.exec().
    std::function<void(FrmRelaFields&)> show;
};

// Relates the chart fields `selected` (name, position in the chart field list) to the fields
// `saved` in a legend (name, position in its symbol list) with a fresh dialog: automatic pairs
// first (NewFieldsOrder as in FieldRelation::autoMapping), then the dialog is shown unless
// autoFlag is set and every selected field got a partner. Returns one row per selected field
// (relationResult: name, position, related saved name and position, "" "" without partner); an
// empty table for no selected fields. A failure is reported through HandleError
// ("RelateLegendFields FrmRelaFields Line : N") and the rows built so far are returned.
ResultTable RelateLegendFields(const FieldTable& selected, const FieldTable& saved, bool autoFlag,
                               bool newFieldsOrder, const RelateOptions& options = {});

}  // namespace kartoplot::relation
