// frmKartoplot: parameter files. The values of 24 controls are saved as a property set
// (each entry named after its control) and applied back to the same controls; the colour
// buttons keep their 32-bit colour values, system colours included.
#include "dialog/main_dialog.h"

#include "dialog/main_dialog_ui.h"
#include "engine/element_data.h"
#include "engine/legend_files.h"
#include "host/property_set.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace kartoplot::dialog {

namespace {

enum class ParameterKind { Text, Check, Options, Colour };

struct ParameterControl {
    const char* name;
    ParameterKind kind;
};

// The controls a parameter set holds, in the order they are saved. Only these are ever set
// from a file.
constexpr std::array<ParameterControl, 24> kParameterControls{{
    {"TxtMinValue", ParameterKind::Text},        {"TxtMaxValue", ParameterKind::Text},
    {"ChkAutoMapping", ParameterKind::Check},    {"ChkSkipPropPage", ParameterKind::Check},
    {"ChkSaveLyrFile", ParameterKind::Check},    {"OpChartPosition", ParameterKind::Options},
    {"TxtLabelDistance", ParameterKind::Text},   {"ChkLabelDiagramm", ParameterKind::Check},
    {"TxtMinLabelValue", ParameterKind::Text},   {"TxtSignNumber", ParameterKind::Text},
    {"TxtFontName", ParameterKind::Text},        {"TxtFontSize", ParameterKind::Text},
    {"TxtChartWidth", ParameterKind::Text},      {"TxtOutlineWidth", ParameterKind::Text},
    {"TxtChartMarkerSize", ParameterKind::Text}, {"ChkShowLeader", ParameterKind::Check},
    {"TxtMinValueMM", ParameterKind::Text},      {"TglBtnLockMin", ParameterKind::Check},
    {"TxtNullValue", ParameterKind::Text},       {"TxtLeaderWidth", ParameterKind::Text},
    {"Txt3DThickness", ParameterKind::Text},     {"Chk3D", ParameterKind::Check},
    {"CmdLeaderColor", ParameterKind::Colour},   {"CmdOutlineColor", ParameterKind::Colour},
}};

constexpr const char* kTrue = "True";
constexpr const char* kFalse = "False";
constexpr const char* kParameterFileExtension = ".par";

// A system colour value: the high bit set, the colour's index in the low byte.
constexpr std::uint32_t kSystemColourFlag = 0x80000000u;
constexpr std::uint32_t kSystemColourIndexMask = 0xFFu;
constexpr std::uint32_t kRgbMask = 0xFFFFFFu;

// The palette roles that stand for the system colours, by index.
constexpr std::array<QPalette::ColorRole, 31> kSystemColourRoles{{
    QPalette::Button,           // 0 scroll bar
    QPalette::Window,           // 1 desktop
    QPalette::Highlight,        // 2 active caption
    QPalette::Mid,              // 3 inactive caption
    QPalette::Window,           // 4 menu
    QPalette::Base,             // 5 window
    QPalette::WindowText,       // 6 window frame
    QPalette::WindowText,       // 7 menu text
    QPalette::Text,             // 8 window text
    QPalette::HighlightedText,  // 9 caption text
    QPalette::Window,           // 10 active border
    QPalette::Window,           // 11 inactive border
    QPalette::Mid,              // 12 application workspace
    QPalette::Highlight,        // 13 highlight
    QPalette::HighlightedText,  // 14 highlighted text
    QPalette::Button,           // 15 button face
    QPalette::Dark,             // 16 button shadow
    QPalette::PlaceholderText,  // 17 grey text
    QPalette::ButtonText,       // 18 button text
    QPalette::WindowText,       // 19 inactive caption text
    QPalette::Light,            // 20 button highlight
    QPalette::Shadow,           // 21 dark 3D shadow
    QPalette::Midlight,         // 22 3D light
    QPalette::ToolTipText,      // 23 tooltip text
    QPalette::ToolTipBase,      // 24 tooltip background
    QPalette::Window,           // 25 (unused)
    QPalette::Link,             // 26 hot-tracked item
    QPalette::Highlight,        // 27 active caption gradient
    QPalette::Mid,              // 28 inactive caption gradient
    QPalette::Highlight,        // 29 menu highlight
    QPalette::Window,           // 30 menu bar
}};

const ParameterControl* parameterControl(const std::string& name) {
    for (const ParameterControl& control : kParameterControls) {
        if (host::equalsIgnoringCase(name, control.name)) {
            return &control;
        }
    }
    return nullptr;
}

[[noreturn]] void badEntry(const std::string& name, const std::string& what) {
    throw HostError(errnum::kTypeMismatch, kMainDialogModule, "Parameter " + name + ": " + what);
}

// A whole number written in decimal (blanks around it allowed), or nothing.
std::optional<long long> wholeNumberText(const std::string& text) {
    const std::string trimmed = language::trimBlanks(text);
    long long value = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(trimmed.data(), end, value);
    if (trimmed.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// A value as a whole number: empty is 0, numbers must be whole, texts decimal integers.
std::optional<long long> wholeNumber(const host::Variant& value) {
    using Kind = host::Variant::Kind;
    switch (value.kind()) {
        case Kind::Empty:
            return 0;
        case Kind::Text:
            return wholeNumberText(value.text());
        case Kind::Short:
        case Kind::Long:
        case Kind::Double:
        case Kind::Boolean: {
            const double number = value.toDouble();
            if (!std::isfinite(number) || number != std::floor(number) ||
                std::abs(number) >
                    static_cast<double>(std::numeric_limits<std::int32_t>::max()) + 1) {
                return std::nullopt;
            }
            return static_cast<long long>(number);
        }
        default:
            return std::nullopt;
    }
}

// A leader needs a visible width: 0 or less becomes this, in points (as leaving the box gives).
constexpr double kThinnestLeaderWidth = 0.1;

// One checked entry, ready to be applied; the member of its control's kind holds the value.
struct PlannedParameter {
    const ParameterControl* control = nullptr;
    QString text;
    bool on = false;
    int option = 0;
    std::int32_t colour = 0;
};

}  // namespace

host::Color frmKartoplot::colorOfValue(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    if ((bits & ~kSystemColourIndexMask) == kSystemColourFlag) {
        const std::uint32_t index = bits & kSystemColourIndexMask;
        const QPalette::ColorRole role =
            index < kSystemColourRoles.size() ? kSystemColourRoles[index] : QPalette::Window;
        const QColor c = QGuiApplication::palette().color(QPalette::Active, role);
        return host::Color{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                           static_cast<std::uint8_t>(c.blue())};
    }
    return host::Color::fromRgb(static_cast<std::int32_t>(bits & kRgbMask));
}

void frmKartoplot::setButtonColorValue(const char* button, std::int32_t value) {
    auto* b = qobject_cast<QPushButton*>(control(QString::fromLatin1(button)));
    if (b == nullptr) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule,
                        std::string("No colour button ") + button);
    }
    const host::Color color = colorOfValue(value);
    b->setProperty("rgb", value);
    b->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #606060;")
                         .arg(QColor(color.red, color.green, color.blue).name()));
}

std::int32_t frmKartoplot::buttonColorValue(const char* button) const {
    const QWidget* b = control(QString::fromLatin1(button));
    if (b == nullptr || !b->property("rgb").isValid()) {
        return 0;
    }
    return b->property("rgb").toInt();
}

std::shared_ptr<host::PropertySet> frmKartoplot::PopulateParameters() {
    std::shared_ptr<host::PropertySet> result;
    trapped("PopulateParameters", [&] {
        auto set = std::make_shared<host::PropertySet>();
        for (const ParameterControl& entry : kParameterControls) {
            const QString name = QString::fromLatin1(entry.name);
            host::Variant value;
            switch (entry.kind) {
                case ParameterKind::Text: {
                    const auto* box = qobject_cast<const QLineEdit*>(control(name));
                    if (box == nullptr) {
                        throw HostError(errnum::kObjectMissing, kMainDialogModule,
                                        std::string("No text box ") + entry.name);
                    }
                    value = host::Variant(box->text().toStdString());
                    break;
                }
                case ParameterKind::Check: {
                    const auto* button = qobject_cast<const QAbstractButton*>(control(name));
                    if (button == nullptr) {
                        throw HostError(errnum::kObjectMissing, kMainDialogModule,
                                        std::string("No check box ") + entry.name);
                    }
                    value = host::Variant(button->isChecked() ? kTrue : kFalse);
                    break;
                }
                case ParameterKind::Options:
                    // The highest index that is on; empty when none is.
                    for (int i = 0; i < kPlacementOptions; ++i) {
                        if (ui_->OpChartPosition[static_cast<std::size_t>(i)]->isChecked()) {
                            value = host::Variant(static_cast<std::int16_t>(i));
                        }
                    }
                    break;
                case ParameterKind::Colour:
                    value = host::Variant(std::to_string(buttonColorValue(entry.name)));
                    break;
            }
            set->setProperty(entry.name, std::move(value));
        }
        result = std::move(set);
    });
    return result;
}

bool frmKartoplot::PopulateControls(const host::PropertySet& parameters) {
    std::vector<std::string> names;
    std::vector<host::Variant> values;
    std::vector<PlannedParameter> plan;
    std::vector<std::string> unknown;
    // Every entry is checked before any control changes, so a bad entry changes nothing.
    const bool checked = trapped("PopulateControls", [&] {
        parameters.getAllProperties(names, values);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            const host::Variant& value = values[i];
            const ParameterControl* target = parameterControl(name);
            if (target == nullptr) {
                unknown.push_back(name);
                continue;
            }
            PlannedParameter planned;
            planned.control = target;
            const QWidget* widget = control(QString::fromLatin1(target->name));
            const bool found =
                (target->kind != ParameterKind::Text || qobject_cast<const QLineEdit*>(widget)) &&
                (target->kind != ParameterKind::Check ||
                 qobject_cast<const QAbstractButton*>(widget));
            if (!found) {
                throw HostError(errnum::kObjectMissing, kMainDialogModule,
                                std::string("No control ") + target->name);
            }
            switch (target->kind) {
                case ParameterKind::Text:
                    if (value.isObject()) {
                        badEntry(name, "an object is not a text");
                    }
                    planned.text = QString::fromStdString(engine::valueText(value, separators_));
                    break;
                case ParameterKind::Check: {
                    bool on = false;
                    if (value.isText()) {
                        const std::string text = language::trimBlanks(value.text());
                        const auto number = separators_.toNumber(text);
                        if (host::equalsIgnoringCase(text, kTrue)) {
                            on = true;
                        } else if (host::equalsIgnoringCase(text, kFalse)) {
                            on = false;
                        } else if (number) {
                            on = *number != 0;
                        } else {
                            badEntry(name, "'" + value.text() + "' is neither True nor False");
                        }
                    } else if (value.isNumber()) {
                        on = value.toDouble() != 0;
                    } else if (!value.isEmpty()) {
                        badEntry(name, "the value is not a truth value");
                    }
                    planned.on = on;
                    break;
                }
                case ParameterKind::Options: {
                    const auto index = wholeNumber(value);
                    if (!index || *index < 0 || *index >= kPlacementOptions) {
                        throw HostError(
                            errnum::kSubscriptRange, kMainDialogModule,
                            "Parameter " + name + ": no option " +
                                engine::valueText(value.isObject() ? host::Variant() : value,
                                                  separators_));
                    }
                    planned.option = static_cast<int>(*index);
                    break;
                }
                case ParameterKind::Colour: {
                    const auto number = wholeNumber(value);
                    if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
                        *number > std::numeric_limits<std::int32_t>::max()) {
                        badEntry(name, "the value is not a 32-bit colour value");
                    }
                    planned.colour = static_cast<std::int32_t>(*number);
                    break;
                }
            }
            plan.push_back(std::move(planned));
        }
    });
    if (!checked) {
        return false;
    }

    const bool applied = trapped("PopulateControls", [&] {
        Ui& u = *ui_;
        bool leaderWidth = false;
        bool outlineWidth = false;
        for (const PlannedParameter& p : plan) {
            const QString name = QString::fromLatin1(p.control->name);
            switch (p.control->kind) {
                case ParameterKind::Text:
                    // setText runs the box's change handling (the marker size follows at once).
                    qobject_cast<QLineEdit*>(control(name))->setText(p.text);
                    leaderWidth = leaderWidth || name == QLatin1String("TxtLeaderWidth");
                    outlineWidth = outlineWidth || name == QLatin1String("TxtOutlineWidth");
                    break;
                case ParameterKind::Check:
                    qobject_cast<QAbstractButton*>(control(name))->setChecked(p.on);
                    break;
                case ParameterKind::Options: {
                    const int index = p.option;
                    // Turning it on runs OpChartPosition_Click and turns the others off.
                    u.OpChartPosition[static_cast<std::size_t>(index)]->setChecked(true);
                    if (u.OpChartMode[0]->isChecked() &&
                        (index == kPlacementOld || index == kPlacementOverOld)) {
                        // Create mode has no old place: the mode's own rule says so and
                        // chooses another placement.
                        OpChartMode_Click(0);
                    }
                    break;
                }
                case ParameterKind::Colour: {
                    const std::int32_t value = p.colour;
                    setButtonColorValue(p.control->name, value);
                    // The button shows its line's colour: the line takes the new one.
                    const bool leader = name == QLatin1String("CmdLeaderColor");
                    const auto& line = leader ? leaderLine_ : outlineLine_;
                    if (line) {
                        line->color = colorOfValue(value);
                        showButtonPicture(leader ? "CmdLeaderLine" : "CmdDiagrOutLine", *line);
                    }
                    break;
                }
            }
        }
        // The line symbols take the widths the boxes now hold, as leaving a box would give them,
        // while the boxes keep the texts exactly as saved.
        const auto followWidth = [&](bool changed, const QLineEdit* box,
                                     const std::shared_ptr<host::LineSymbol>& line,
                                     const char* lineButton, bool isOutline) {
            const auto width = separators_.toNumber(box->text().toStdString());
            if (!changed || !width) {
                return;
            }
            const double points = isOutline || *width > 0 ? *width : kThinnestLeaderWidth;
            if (isOutline) {
                lineWidth_ = points;
            }
            if (line) {
                line->width = points;
                showButtonPicture(lineButton, *line);
            }
        };
        followWidth(leaderWidth, u.TxtLeaderWidth, leaderLine_, "CmdLeaderLine", false);
        followWidth(outlineWidth, u.TxtOutlineWidth, outlineLine_, "CmdDiagrOutLine", true);
    });

    // A name that is none of the parameter controls is reported, never looked up.
    const std::string& unsupported =
        messages_.text(language::MainFormMessage::UnsupportedControlType);
    trapped("PopulateControls", [&] {
        for (std::size_t i = 0; i < unknown.size(); ++i) {
            if (!interaction_) {
                throw HostError(errnum::kObjectMissing, kMainDialogModule,
                                unsupported + ": " + unknown[i]);
            }
            interaction_->messageBox(unsupported, "", host::MessageButtons::Ok,
                                     host::MessageIcon::None);
        }
    });
    return applied;
}

void frmKartoplot::CmdSaveParam_Click() {
    trapped("CmdSaveParam_Click", [&] {
        host::FileDialogRequest request;
        request.title = messages_.text(language::MainFormMessage::SaveParametersTitle);
        request.filter = messages_.text(language::MainFormMessage::ParameterFileFilter);
        request.overwritePrompt = true;
        const auto path = chooseFile(request, kParameterFileExtension, true);
        if (!path) {
            return;  // cancelled: nothing written, LastFolder kept
        }
        // PopulateParameters and the file writer report their own failures.
        if (const auto parameters = PopulateParameters()) {
            engine::SavePropertySetToFile(*parameters, *path);
        }
    });
}

void frmKartoplot::CmdLoadParam_Click() {
    trapped("CmdLoadParam_Click", [&] {
        host::FileDialogRequest request;
        request.title = messages_.text(language::MainFormMessage::LoadParametersTitle);
        request.filter = messages_.text(language::MainFormMessage::ParameterFileFilter);
        request.overwritePrompt = false;
        const auto path = chooseFile(request, kParameterFileExtension, false);
        if (!path) {
            return;  // cancelled: nothing read, LastFolder kept
        }
        // An unreadable file has been reported by the reader; no control changes.
        if (const auto parameters = engine::LoadPropertySetFromFile(*path)) {
            PopulateControls(*parameters);
        }
    });
}

}  // namespace kartoplot::dialog
