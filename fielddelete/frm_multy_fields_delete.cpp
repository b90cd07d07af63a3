#include "fielddelete/frm_multy_fields_delete.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>

#include "errors/error_handling.h"

namespace kartoplot::fielddelete {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The fields whose loss would destroy the layer: its object ids and its shapes.
bool isRequired(const host::FeatureClass& featureClass, const host::Field& field) {
    return field.type == host::FieldType::OID || field.type == host::FieldType::Geometry ||
           field.name == featureClass.oidFieldName() || field.name == featureClass.shapeFieldName();
}

}  // namespace

struct FrmMultyFieldsDelete::Ui {

    QLabel* LblLayerName = nullptr;
    QListWidget* LstFields = nullptr;
    QPushButton* CmdDel = nullptr;
    QPushButton* CmdCancel = nullptr;
};

FrmMultyFieldsDelete::FrmMultyFieldsDelete(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui>()) {
    setObjectName(QStringLiteral("FrmMultyFieldsDelete"));
    setModal(true);
    buildUi();
}

FrmMultyFieldsDelete::~FrmMultyFieldsDelete() = default;

void FrmMultyFieldsDelete::buildUi() {
    Ui& u = *ui_;
    const auto add = [this](auto* widget, const char* name) { return addControl(widget, name); };
    u.LblLayerName = add(new QLabel(this), "LblLayerName");
    u.LstFields = add(new QListWidget(this), "LstFields");
    u.LstFields->setSelectionMode(QAbstractItemView::MultiSelection);
    u.CmdDel = add(new QPushButton(QStringLiteral("Удалить"), this), "CmdDel");
    u.CmdCancel = add(new QPushButton(QStringLiteral("Отмена"), this), "CmdCancel");
    u.CmdCancel->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(u.CmdDel);
    buttons->addWidget(u.CmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(u.LblLayerName);
    layout->addWidget(u.LstFields);
    layout->addLayout(buttons);

    connect(u.CmdDel, &QPushButton::clicked, this, [this] { CmdDel_Click(); });
    connect(u.CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
}

void FrmMultyFieldsDelete::setLanguage(std::string language) { language_ = std::move(language); }

void FrmMultyFieldsDelete::setInteraction(std::shared_ptr<host::UserInteraction> interaction) {
    interaction_ = std::move(interaction);
}

void FrmMultyFieldsDelete::setFeatureClass(std::shared_ptr<host::FeatureClass> featureClass) {
    featureClass_ = std::move(featureClass);
}

void FrmMultyFieldsDelete::setLayerName(const std::string& name) {
    ui_->LblLayerName->setText(qs(name));
}

void FrmMultyFieldsDelete::Form_Load() {
    language::TranslateMultyFieldsDelete(*this, language_);
    ErrorTrap trap("Form_Load", kFieldDeleteModule);
    trap.run([&] {
        ui_->LstFields->clear();
        if (!featureClass_) {
            return;
        }
        const host::Fields& fields = featureClass_->fields();
        for (int i = 0; i < fields.fieldCount(); ++i) {
            const host::Field& field = fields.field(i);
            if (!isRequired(*featureClass_, field)) {
                ui_->LstFields->addItem(qs(field.name));
            }
        }
    });
}

void FrmMultyFieldsDelete::CmdDel_Click() {
    std::vector<std::string> chosen;
    for (int i = 0; i < ui_->LstFields->count(); ++i) {
        if (ui_->LstFields->item(i)->isSelected()) {
            chosen.push_back(ui_->LstFields->item(i)->text().toStdString());
        }
    }
    if (chosen.empty()) {
        reject();
        return;
    }
    ErrorTrap trap("CmdDel_Click", kFieldDeleteModule);
    bool stayOpen = false;  // a No lets the user choose again
    trap.run([&] {
        trap.at(1);
        if (!interaction_ || !featureClass_) {
            throw HostError(errnum::kObjectMissing, kFieldDeleteModule,
                            interaction_ ? "No feature class to delete fields from"
                                         : "No user interaction service");
        }
        language::NoticeMessages notices;
        notices.load(language_);
        std::string names;
        for (const std::string& name : chosen) {
            names += (names.empty() ? "" : ", ") + name;
        }
        const std::string title(language::multyFieldsDeleteTable().captionFor(language_));
        const host::MessageResult answer = interaction_->messageBox(
            notices.text(language::NoticeMessage::DeleteFieldsQuestion) + "\n" + names, title,
            host::MessageButtons::YesNo, host::MessageIcon::Question);
        if (answer != host::MessageResult::Yes) {
            stayOpen = true;
            return;
        }
        for (const std::string& name : chosen) {
            trap.at(2);
            const int index = featureClass_->findField(name);
            if (index == -1) {
                continue;
            }
            trap.at(3);
            featureClass_->deleteField(index);
            deleted_.push_back(name);
        }
    });
    if (!stayOpen) {
        done(deleted_.empty() ? QDialog::Rejected : QDialog::Accepted);
    }
}

void FrmMultyFieldsDelete::CmdCancel_Click() { reject(); }

}  // namespace kartoplot::fielddelete
