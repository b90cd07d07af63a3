#include "relation/frm_rela_fields.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

#include "errors/error_handling.h"

namespace kartoplot::relation {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Columns of the three lists.
constexpr int kListName = 0;
constexpr int kListPosition = 1;
constexpr int kRelText = 0;
constexpr int kRelSelectedPosition = 1;
constexpr int kRelSavedPosition = 2;
constexpr int kFieldListColumns = 2;
constexpr int kRelationListColumns = 3;

QTreeWidget* makeList(QWidget* parent, int columns) {
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(columns);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
}

void fillFieldList(QTreeWidget* list, const FieldTable& rows) {
    list->clear();
    QList<QTreeWidgetItem*> items;
    for (const FieldRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        item->setText(kListName, qs(row.name));
        item->setText(kListPosition, QString::number(row.position));
        items.append(item);
    }
    list->addTopLevelItems(items);
}

// Index of the first selected entry in list order, or -1.
int firstSelected(const QTreeWidget* list) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->isSelected()) {
            return i;
        }
    }
    return -1;
}

}  // namespace

struct FrmRelaFields::Ui {

    QLabel* LblFields1 = nullptr;
    QTreeWidget* LstFields = nullptr;
    QLabel* LblFields2 = nullptr;
    QTreeWidget* LstFieldsOld = nullptr;
    QLabel* Label3 = nullptr;
    QTreeWidget* LstFieldsRel = nullptr;
    QPushButton* CmdFieldRelationON = nullptr;
    QPushButton* CmdAuto = nullptr;
    QPushButton* CmdFieldRelationOFF = nullptr;
    QPushButton* CmdFieldsOffAll = nullptr;
    QPushButton* CmdOK = nullptr;
};

template <class Body>
void FrmRelaFields::trapped(const char* procedure, Body&& body) {
    ErrorTrap trap(procedure, kRelationModule);
    trap.run(std::forward<Body>(body));
}

FrmRelaFields::FrmRelaFields(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui>()) {
    setObjectName(QStringLiteral("FrmRelaFields"));
    setModal(true);
    buildUi();
}

FrmRelaFields::~FrmRelaFields() = default;

void FrmRelaFields::buildUi() {
    Ui& u = *ui_;
    const auto add = [this](auto* widget, const char* name) { return addControl(widget, name); };
    u.LblFields1 = add(new QLabel(this), "LblFields1");
    u.LstFields = add(makeList(this, kFieldListColumns), "LstFields");
    u.LblFields2 = add(new QLabel(this), "LblFields2");
    u.LstFieldsOld = add(makeList(this, kFieldListColumns), "LstFieldsOld");
    u.Label3 = add(new QLabel(this), "Label3");
    u.LstFieldsRel = add(makeList(this, kRelationListColumns), "LstFieldsRel");
    u.CmdFieldRelationON = add(new QPushButton(QStringLiteral(">"), this), "CmdFieldRelationON");
    u.CmdAuto = add(new QPushButton(this), "CmdAuto");
    u.CmdFieldRelationOFF = add(new QPushButton(QStringLiteral("<"), this), "CmdFieldRelationOFF");
    u.CmdFieldsOffAll = add(new QPushButton(QStringLiteral("<<"), this), "CmdFieldsOffAll");
    u.CmdOK = add(new QPushButton(this), "CmdOK");
    u.CmdOK->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(u.LblFields1, 0, 0);
    grid->addWidget(u.LstFields, 1, 0);
    grid->addWidget(u.LblFields2, 0, 1);
    grid->addWidget(u.LstFieldsOld, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* button :
         {u.CmdFieldRelationON, u.CmdAuto, u.CmdFieldRelationOFF, u.CmdFieldsOffAll}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    grid->addLayout(buttons, 1, 2);
    grid->addWidget(u.Label3, 0, 3);
    grid->addWidget(u.LstFieldsRel, 1, 3);
    // The positions are kept for the program; the user pairs by name.
    for (QTreeWidget* list : {u.LstFields, u.LstFieldsOld}) {
        list->setColumnHidden(kListPosition, true);
    }
    u.LstFieldsRel->setColumnHidden(kRelSelectedPosition, true);
    u.LstFieldsRel->setColumnHidden(kRelSavedPosition, true);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(u.CmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(bottom);

    connect(u.CmdFieldRelationON, &QPushButton::clicked, this, [this] { CmdFieldRelationON_Click(); });
    connect(u.CmdFieldRelationOFF, &QPushButton::clicked, this, [this] { CmdFieldRelationOFF_Click(); });
    connect(u.CmdFieldsOffAll, &QPushButton::clicked, this, [this] { CmdFieldsOffAll_Click(); });
    connect(u.CmdAuto, &QPushButton::clicked, this, [this] { CmdAuto_Click(); });
    connect(u.CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
}

void FrmRelaFields::setLanguage(std::string language) { language_ = std::move(language); }

void FrmRelaFields::setInteraction(std::shared_ptr<host::UserInteraction> interaction) {
    interaction_ = std::move(interaction);
}

void FrmRelaFields::PopulateArrays(const FieldTable& aFlds, const FieldTable& aFldsOld) {
    relation_.populate(aFlds, aFldsOld);
    messages_.load(language_);
    ui_->CmdOK->setText(qs(messages_.text(language::RelationMessage::OkButton)));
    language::TranslateRelaFields(*this, language_);
    showLists(true);
}

void FrmRelaFields::showLists(bool withSaved) {
    Ui& u = *ui_;
    fillFieldList(u.LstFields, relation_.unpaired());
    if (withSaved) {
        fillFieldList(u.LstFieldsOld, relation_.saved());
    }
    u.LstFieldsRel->clear();
    QList<QTreeWidgetItem*> items;
    for (const FieldPair& pair : relation_.pairs()) {
        auto* item = new QTreeWidgetItem;
        item->setText(kRelText, qs(pair.text));
        item->setText(kRelSelectedPosition, QString::number(pair.selectedPosition));
        item->setText(kRelSavedPosition, QString::number(pair.savedPosition));
        items.append(item);
    }
    u.LstFieldsRel->addTopLevelItems(items);
}

int FrmRelaFields::AutoMapping(bool NewFieldsOrder) {
    const int count = relation_.autoMapping(NewFieldsOrder);
    showLists(false);
    return count;
}

void FrmRelaFields::GetMappingArray(PairTable& arr) const {
    if (!relation_.pairs().empty()) {
        arr = relation_.pairs();
    }
}

bool FrmRelaFields::aSort(TextTable& arr, int RowNum, bool TextComp) {
    if (sortColumnsByRow(arr, RowNum, TextComp)) {
        return true;
    }
    if (!interaction_) {
        throw HostError(errnum::kObjectMissing, kRelationModule, "No user interaction service");
    }
    using language::RelationMessage;
    const int highest = arr.empty() ? 0 : static_cast<int>(arr.size()) - 1;
    const std::string text = messages_.text(RelationMessage::SortRowStart) + std::to_string(RowNum) +
                             messages_.text(RelationMessage::SortRowBelow) + "0" +
                             messages_.text(RelationMessage::SortRowOr) +
                             messages_.text(RelationMessage::SortRowAbove) + std::to_string(highest);
    interaction_->messageBox(text, messages_.text(RelationMessage::SortTitle),
                             host::MessageButtons::Ok, host::MessageIcon::None);
    return false;
}

void FrmRelaFields::CmdFieldRelationON_Click() {
    trapped("CmdFieldRelationON_Click", [&] {
        if (relation_.relate(firstSelected(ui_->LstFields), firstSelected(ui_->LstFieldsOld))) {
            showLists(false);
        }
    });
}

void FrmRelaFields::CmdFieldRelationOFF_Click() {
    trapped("CmdFieldRelationOFF_Click", [&] {
        if (relation_.unrelate(firstSelected(ui_->LstFieldsRel))) {
            showLists(false);
        }
    });
}

void FrmRelaFields::CmdFieldsOffAll_Click() {
    trapped("CmdFieldsOffAll_Click", [&] {
        relation_.unrelateAll();
        showLists(true);
    });
}

void FrmRelaFields::CmdAuto_Click() {
    trapped("CmdAuto_Click", [&] { AutoMapping(true); });
}

void FrmRelaFields::CmdOK_Click() { accept(); }

// ---- RelateLegendFields --------------------------------------------------------------------------

ResultTable RelateLegendFields(const FieldTable& selected, const FieldTable& saved, bool autoFlag,
                               bool newFieldsOrder, const RelateOptions& options) {
    ResultTable result;
    ErrorTrap trap("RelateLegendFields", kRelationModule);
    trap.run([&] {
        if (selected.empty()) {
            return;
        }
        trap.at(1);
        result = relationResult(selected, saved, {});  // every row without partner so far
        // A fresh dialog for every call: nothing of an earlier relation is left in it.
        trap.at(2);
        FrmRelaFields dialog(options.parent);
        dialog.setLanguage(options.language);
        dialog.setInteraction(options.interaction);
        dialog.PopulateArrays(selected, saved);
        trap.at(3);
        dialog.AutoMapping(newFieldsOrder);
        trap.at(4);
        if (needsDialog(autoFlag, dialog.relation())) {
            if (options.show) {
                options.show(dialog);
            } else {
                dialog.exec();
            }
        }
        trap.at(5);
        PairTable pairs;
        dialog.GetMappingArray(pairs);
        trap.at(6);
        result = relationResult(selected, saved, pairs);
    });
    return result;
}

}  // namespace kartoplot::relation
