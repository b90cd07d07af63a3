#include "dialog/symbol_chooser.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>
#include <span>
#include <utility>

#include "errors/error_handling.h"
#include "dialog/qt_interaction.h"
#include "language/messages.h"
#include "preview/draw_symbol.h"
#include "render/symbol_painter.h"

namespace kartoplot::dialog {

// Widgets and layouts are made with `new` under a Qt parent, which owns and deletes them.

namespace {

constexpr const char* kModule = "SymbolChooser";

// Line and outline widths in points.
constexpr double kMaxLineWidth = 20.0;
constexpr double kLineWidthStep = 0.1;
// Marker and font sizes in points.
constexpr double kMinFontSize = 1.0;
constexpr double kMaxSymbolSize = 500.0;
constexpr double kSizeStep = 1.0;
constexpr int kDecimals = 2;
// A dash of the "Dashed" box: mark = width, gap = this many widths.
constexpr double kDashGapWidths = 2.0;
// Swatch of a colour button and pictures in the style lists, pixels.
constexpr QSize kSwatchSize(36, 14);
constexpr QSize kStyleIconSize(40, 16);
constexpr int kStyleIconGap = 2;
// What a text symbol's preview shows when the symbol has no sample text of its own.
constexpr const char* kSampleText = "AaBb";

using language::ChooserMessage;

// The chooser's texts in the language `russian` selects; each table is filled once.
const language::ChooserMessages& chooserTexts(bool russian) {
    const auto filled = [](std::string_view value) {
        language::ChooserMessages table;
        table.load(value);
        return table;
    };
    static const language::ChooserMessages kRussianTexts = filled(language::kRussian);
    static const language::ChooserMessages kEnglishTexts = filled({});  // any other value: English
    return russian ? kRussianTexts : kEnglishTexts;
}

QString labelText(ChooserMessage id, bool russian) {
    return QString::fromStdString(chooserTexts(russian).text(id));
}

// One entry of a style list: the host's code and the entry naming it.
template <class Code>
struct Choice {
    Code code;
    ChooserMessage name;
};

constexpr Choice<host::FillStyle> kFillStyles[] = {
    {host::FillStyle::Solid, ChooserMessage::FillSolid},
    {host::FillStyle::Null, ChooserMessage::FillHollow},
    {host::FillStyle::Horizontal, ChooserMessage::FillHorizontal},
    {host::FillStyle::Vertical, ChooserMessage::FillVertical},
    {host::FillStyle::ForwardDiagonal, ChooserMessage::FillForwardDiagonal},
    {host::FillStyle::BackwardDiagonal, ChooserMessage::FillBackwardDiagonal},
    {host::FillStyle::Cross, ChooserMessage::FillCross},
    {host::FillStyle::DiagonalCross, ChooserMessage::FillDiagonalCross},
};

constexpr Choice<host::LineStyle> kLineStyles[] = {
    {host::LineStyle::Solid, ChooserMessage::LineSolid},
    {host::LineStyle::Dash, ChooserMessage::LineDash},
    {host::LineStyle::Dot, ChooserMessage::LineDot},
    {host::LineStyle::DashDot, ChooserMessage::LineDashDot},
    {host::LineStyle::DashDotDot, ChooserMessage::LineDashDotDot},
    {host::LineStyle::Null, ChooserMessage::LineNone},
    {host::LineStyle::InsideFrame, ChooserMessage::LineInsideFrame},
};

constexpr Choice<host::LineCap> kLineCaps[] = {
    {host::LineCap::Butt, ChooserMessage::CapFlat},
    {host::LineCap::Round, ChooserMessage::CapRound},
    {host::LineCap::Square, ChooserMessage::CapSquare},
};

constexpr Choice<host::LineJoin> kLineJoins[] = {
    {host::LineJoin::Miter, ChooserMessage::JoinMitre},
    {host::LineJoin::Round, ChooserMessage::JoinRound},
    {host::LineJoin::Bevel, ChooserMessage::JoinBevel},
};

constexpr Choice<host::MarkerStyle> kMarkerStyles[] = {
    {host::MarkerStyle::Circle, ChooserMessage::MarkerCircle},
    {host::MarkerStyle::Square, ChooserMessage::MarkerSquare},
    {host::MarkerStyle::Cross, ChooserMessage::MarkerCross},
    {host::MarkerStyle::X, ChooserMessage::MarkerX},
    {host::MarkerStyle::Diamond, ChooserMessage::MarkerDiamond},
};

// The picture of a symbol, or a null image when it cannot be drawn (the failure is reported).
QImage symbolPicture(const host::Symbol& symbol, QSize size, int gap) {
    QImage picture;
    ErrorTrap trap("symbolPicture", kModule);
    trap.run([&] { picture = preview::SymbolToPicture(symbol, size.width(), size.height(), gap); });
    return picture;
}

// A combo box listing the choices, each with the picture sampleOf(code) when it gives one,
// showing `current`.
template <class Code, class Sample>
QComboBox* styleList(std::span<const Choice<Code>> choices, Code current, bool russian,
                     Sample sampleOf, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setIconSize(kStyleIconSize);
    for (const Choice<Code>& choice : choices) {
        const auto sample = sampleOf(choice.code);
        QIcon icon;
        if (sample) {
            const QImage picture = symbolPicture(*sample, kStyleIconSize, kStyleIconGap);
            if (!picture.isNull()) {
                icon = QIcon(QPixmap::fromImage(picture));
            }
        }
        list->addItem(icon, labelText(choice.name, russian), static_cast<int>(choice.code));
    }
    list->setCurrentIndex(std::max(0, list->findData(static_cast<int>(current))));
    return list;
}

template <class Code>
Code chosenCode(const QComboBox& list) {
    return static_cast<Code>(list.currentData().toInt());
}

// A spin box of points, suffixed with the unit.
QDoubleSpinBox* pointsBox(double minimum, double maximum, double step, double value, bool russian,
                          QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setSingleStep(step);
    box->setDecimals(kDecimals);
    box->setSuffix(labelText(ChooserMessage::Points, russian));
    box->setValue(value);
    return box;
}

host::LineTemplate dashTemplate(double width) {
    host::LineTemplate dashed;
    dashed.interval = 1.0;
    dashed.pattern = {{width, kDashGapWidths * width}};
    return dashed;
}

bool isDashed(const host::LineTemplate& lineTemplate) {
    return std::any_of(lineTemplate.pattern.begin(), lineTemplate.pattern.end(),
                       [](const host::LineTemplate::PatternElement& e) { return e.gap > 0; });
}

}  // namespace

// ---- ColorButton -----------------------------------------------------------------------

ColorButton::ColorButton(QString dialogTitle, QWidget* parent)
    : QPushButton(parent), dialogTitle_(std::move(dialogTitle)) {
    setIconSize(kSwatchSize);
    updateSwatch();
    connect(this, &QPushButton::clicked, this, &ColorButton::chooseColor);
}

void ColorButton::setColor(const host::Color& color) {
    if (color == color_) {
        return;
    }
    color_ = color;
    updateSwatch();
    Q_EMIT colorChanged();
}

void ColorButton::chooseColor() {
    if (const auto chosen =
            hostColorFromQt(QColorDialog::getColor(qtColorFromHost(color_), this, dialogTitle_))) {
        setColor(*chosen);
    }
}

void ColorButton::updateSwatch() {
    QPixmap swatch(iconSize());
    swatch.fill(color_.isNull ? QColor(Qt::white) : render::toQColor(color_));
    {
        QPainter painter(&swatch);
        painter.setPen(QColor(Qt::darkGray));
        painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
        if (color_.isNull) {
            painter.drawLine(swatch.rect().bottomLeft(), swatch.rect().topRight());
        }
    }
    setIcon(QIcon(swatch));
    setToolTip(color_.isNull ? QString() : render::toQColor(color_).name());
}

// ---- SymbolChooser ---------------------------------------------------------------------

SymbolChooser::SymbolChooser(const std::shared_ptr<host::Symbol>& symbol,
                             const std::string& language, QWidget* parent)
    : QDialog(parent),
      russian_(language::isRussian(language)),
      copy_(symbol ? symbol->clone() : nullptr) {
    setWindowTitle(labelText(ChooserMessage::WindowTitle, russian_));

    auto* editors = new QVBoxLayout;
    if (copy_ && copy_->isFill()) {
        buildFillEditors(static_cast<host::FillSymbol&>(*copy_), *editors);
    } else if (copy_ && copy_->isLine()) {
        buildLineEditors(static_cast<host::LineSymbol&>(*copy_), *editors);
    } else if (copy_ && copy_->kind() == host::SymbolKind::Text) {
        buildTextEditors(static_cast<host::TextSymbol&>(*copy_), *editors);
    } else if (copy_ && copy_->isMarker()) {
        buildMarkerEditors(static_cast<host::MarkerSymbol&>(*copy_), *editors);
    }
    editors->addStretch();

    auto* previewGroup = new QGroupBox(labelText(ChooserMessage::Preview, russian_), this);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    preview_ = new QLabel(previewGroup);
    preview_->setObjectName(QStringLiteral("Preview"));
    preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
    previewLayout->addWidget(preview_);

    auto* body = new QHBoxLayout;
    body->addLayout(editors, 1);
    body->addWidget(previewGroup, 0, Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(labelText(ChooserMessage::Ok, russian_), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("CmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(labelText(ChooserMessage::Cancel, russian_),
                                             QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(body);
    layout->addWidget(buttons);

    updatePreview();
}

std::shared_ptr<host::Symbol> SymbolChooser::result() const {
    return QDialog::result() == QDialog::Accepted ? copy_ : nullptr;
}

std::shared_ptr<host::Symbol> SymbolChooser::choose(QWidget* parent,
                                                    const std::shared_ptr<host::Symbol>& symbol,
                                                    const std::string& language) {
    if (!symbol) {
        return nullptr;
    }
    SymbolChooser chooser(symbol, language, parent);
    chooser.exec();
    return chooser.result();
}

void SymbolChooser::buildFillEditors(host::FillSymbol& fill, QVBoxLayout& editors) {
    auto* fillGroup = new QGroupBox(labelText(ChooserMessage::Fill, russian_), this);
    auto* fillForm = new QFormLayout(fillGroup);
    auto* colour = new ColorButton(labelText(ChooserMessage::FillColour, russian_), fillGroup);
    colour->setObjectName(QStringLiteral("FillColor"));
    colour->setColor(fill.color);
    connect(colour, &ColorButton::colorChanged, this, [this, &fill, colour] {
        fill.color = colour->color();
        updatePreview();
    });
    fillForm->addRow(labelText(ChooserMessage::Colour, russian_), colour);

    if (fill.kind() == host::SymbolKind::SimpleFill) {
        auto& simple = static_cast<host::SimpleFillSymbol&>(fill);
        auto sampleOf = [](host::FillStyle style) {
            auto sample = std::make_shared<host::SimpleFillSymbol>();
            sample->style = style;
            return sample;
        };
        QComboBox* style =
            styleList<host::FillStyle>(kFillStyles, simple.style, russian_, sampleOf, fillGroup);
        style->setObjectName(QStringLiteral("FillStyle"));
        connect(style, &QComboBox::currentIndexChanged, this, [this, &simple, style] {
            simple.style = chosenCode<host::FillStyle>(*style);
            updatePreview();
        });
        fillForm->addRow(labelText(ChooserMessage::Style, russian_), style);
    }
    editors.addWidget(fillGroup);

    // The editors show the outline, or a plain black one that "No outline" would add.
    const host::SimpleLineSymbol plainOutline;
    const host::LineSymbol& shown =
        fill.outline ? *fill.outline : static_cast<const host::LineSymbol&>(plainOutline);
    auto* outlineGroup = new QGroupBox(labelText(ChooserMessage::Outline, russian_), this);
    auto* outlineForm = new QFormLayout(outlineGroup);
    auto* noOutline = new QCheckBox(labelText(ChooserMessage::NoOutline, russian_), outlineGroup);
    noOutline->setObjectName(QStringLiteral("NoOutline"));
    noOutline->setChecked(!fill.outline);
    outlineColor_ = new ColorButton(labelText(ChooserMessage::Outline, russian_), outlineGroup);
    outlineColor_->setObjectName(QStringLiteral("OutlineColor"));
    outlineColor_->setColor(shown.color);
    outlineColor_->setEnabled(fill.outline != nullptr);
    outlineWidth_ =
        pointsBox(0.0, kMaxLineWidth, kLineWidthStep, shown.width, russian_, outlineGroup);
    outlineWidth_->setObjectName(QStringLiteral("OutlineWidth"));
    outlineWidth_->setEnabled(fill.outline != nullptr);
    outlineForm->addRow(noOutline);
    outlineForm->addRow(labelText(ChooserMessage::Colour, russian_), outlineColor_);
    outlineForm->addRow(labelText(ChooserMessage::Width, russian_), outlineWidth_);
    editors.addWidget(outlineGroup);

    connect(noOutline, &QCheckBox::toggled, this,
            [this, &fill](bool checked) { setNoOutline(fill, checked); });
    connect(outlineColor_, &ColorButton::colorChanged, this, [this, &fill] {
        if (host::LineSymbol* outline = editedOutline(fill)) {
            outline->color = outlineColor_->color();
        }
        updatePreview();
    });
    connect(outlineWidth_, &QDoubleSpinBox::valueChanged, this, [this, &fill](double width) {
        if (host::LineSymbol* outline = editedOutline(fill)) {
            outline->width = width;
        }
        updatePreview();
    });
}

host::LineSymbol* SymbolChooser::editedOutline(host::FillSymbol& fill) const noexcept {
    return fill.outline ? fill.outline.get() : removedOutline_.get();
}

void SymbolChooser::setNoOutline(host::FillSymbol& fill, bool noOutline) {
    if (noOutline && fill.outline) {
        removedOutline_ = std::move(fill.outline);
        fill.outline = nullptr;
    } else if (!noOutline && !fill.outline) {
        if (removedOutline_) {
            fill.outline = std::move(removedOutline_);
            removedOutline_ = nullptr;
        } else {
            fill.outline = std::make_shared<host::SimpleLineSymbol>();
            fill.outline->color = outlineColor_->color();
            fill.outline->width = outlineWidth_->value();
        }
    }
    outlineColor_->setEnabled(!noOutline);
    outlineWidth_->setEnabled(!noOutline);
    updatePreview();
}

void SymbolChooser::buildLineEditors(host::LineSymbol& line, QVBoxLayout& editors) {
    auto* group = new QGroupBox(labelText(ChooserMessage::Line, russian_), this);
    auto* form = new QFormLayout(group);
    auto* colour = new ColorButton(labelText(ChooserMessage::Colour, russian_), group);
    colour->setObjectName(QStringLiteral("LineColor"));
    colour->setColor(line.color);
    connect(colour, &ColorButton::colorChanged, this, [this, &line, colour] {
        line.color = colour->color();
        updatePreview();
    });
    form->addRow(labelText(ChooserMessage::Colour, russian_), colour);

    auto* width = pointsBox(0.0, kMaxLineWidth, kLineWidthStep, line.width, russian_, group);
    width->setObjectName(QStringLiteral("LineWidth"));
    connect(width, &QDoubleSpinBox::valueChanged, this, [this, &line](double points) {
        if (line.kind() == host::SymbolKind::CartographicLine) {
            // The dash the "Dashed" box made grows and shrinks with the line; a dash of the
            // symbol's own is kept.
            auto& carto = static_cast<host::CartographicLineSymbol&>(line);
            if (carto.lineTemplate == dashTemplate(carto.width)) {
                carto.lineTemplate = dashTemplate(points);
            }
        }
        line.width = points;
        updatePreview();
    });
    form->addRow(labelText(ChooserMessage::Width, russian_), width);

    if (line.kind() == host::SymbolKind::SimpleLine) {
        auto& simple = static_cast<host::SimpleLineSymbol&>(line);
        auto sampleOf = [](host::LineStyle lineStyle) {
            auto sample = std::make_shared<host::SimpleLineSymbol>();
            sample->style = lineStyle;
            return sample;
        };
        QComboBox* style =
            styleList<host::LineStyle>(kLineStyles, simple.style, russian_, sampleOf, group);
        style->setObjectName(QStringLiteral("LineStyle"));
        connect(style, &QComboBox::currentIndexChanged, this, [this, &simple, style] {
            simple.style = chosenCode<host::LineStyle>(*style);
            updatePreview();
        });
        form->addRow(labelText(ChooserMessage::Style, russian_), style);
    } else if (line.kind() == host::SymbolKind::CartographicLine) {
        auto& carto = static_cast<host::CartographicLineSymbol&>(line);
        auto noSample = [](auto) { return std::shared_ptr<host::Symbol>(); };
        QComboBox* cap = styleList<host::LineCap>(kLineCaps, carto.cap, russian_, noSample, group);
        cap->setObjectName(QStringLiteral("LineCap"));
        connect(cap, &QComboBox::currentIndexChanged, this, [this, &carto, cap] {
            carto.cap = chosenCode<host::LineCap>(*cap);
            updatePreview();
        });
        form->addRow(labelText(ChooserMessage::Cap, russian_), cap);

        QComboBox* join =
            styleList<host::LineJoin>(kLineJoins, carto.join, russian_, noSample, group);
        join->setObjectName(QStringLiteral("LineJoin"));
        connect(join, &QComboBox::currentIndexChanged, this, [this, &carto, join] {
            carto.join = chosenCode<host::LineJoin>(*join);
            updatePreview();
        });
        form->addRow(labelText(ChooserMessage::Join, russian_), join);

        auto* dashed = new QCheckBox(labelText(ChooserMessage::Dashed, russian_), group);
        dashed->setObjectName(QStringLiteral("Dashed"));
        dashed->setChecked(isDashed(carto.lineTemplate));
        connect(dashed, &QCheckBox::toggled, this, [this, &carto](bool checked) {
            carto.lineTemplate = checked ? dashTemplate(carto.width) : host::LineTemplate{};
            updatePreview();
        });
        form->addRow(dashed);
    }
    editors.addWidget(group);
}

void SymbolChooser::buildTextEditors(host::TextSymbol& text, QVBoxLayout& editors) {
    auto* group = new QGroupBox(labelText(ChooserMessage::Text, russian_), this);
    auto* form = new QFormLayout(group);

    auto* family = new QFontComboBox(group);
    family->setObjectName(QStringLiteral("FontFamily"));
    family->setCurrentFont(QFont(render::fontFamily(text.font.name)));
    connect(family, &QFontComboBox::currentFontChanged, this,
            [this, &text, originalName = text.font.name](const QFont& font) {
                text.font.name = hostFontName(font.family(), originalName);
                updatePreview();
            });
    form->addRow(labelText(ChooserMessage::Font, russian_), family);

    auto* size =
        pointsBox(kMinFontSize, kMaxSymbolSize, kSizeStep, text.font.size, russian_, group);
    size->setObjectName(QStringLiteral("FontSize"));
    connect(size, &QDoubleSpinBox::valueChanged, this, [this, &text](double points) {
        text.setSize(points);
        updatePreview();
    });
    form->addRow(labelText(ChooserMessage::Size, russian_), size);

    auto* bold = new QCheckBox(labelText(ChooserMessage::Bold, russian_), group);
    bold->setObjectName(QStringLiteral("FontBold"));
    bold->setChecked(text.font.bold);
    connect(bold, &QCheckBox::toggled, this, [this, &text](bool checked) {
        text.font.bold = checked;
        updatePreview();
    });
    auto* italic = new QCheckBox(labelText(ChooserMessage::Italic, russian_), group);
    italic->setObjectName(QStringLiteral("FontItalic"));
    italic->setChecked(text.font.italic);
    connect(italic, &QCheckBox::toggled, this, [this, &text](bool checked) {
        text.font.italic = checked;
        updatePreview();
    });
    auto* faces = new QHBoxLayout;
    faces->addWidget(bold);
    faces->addWidget(italic);
    faces->addStretch();
    form->addRow(faces);

    auto* colour = new ColorButton(labelText(ChooserMessage::Colour, russian_), group);
    colour->setObjectName(QStringLiteral("TextColor"));
    colour->setColor(text.color);
    connect(colour, &ColorButton::colorChanged, this, [this, &text, colour] {
        text.color = colour->color();
        updatePreview();
    });
    form->addRow(labelText(ChooserMessage::Colour, russian_), colour);
    editors.addWidget(group);
}

void SymbolChooser::buildMarkerEditors(host::MarkerSymbol& marker, QVBoxLayout& editors) {
    auto* group = new QGroupBox(labelText(ChooserMessage::Marker, russian_), this);
    auto* form = new QFormLayout(group);
    auto* simple = marker.kind() == host::SymbolKind::SimpleMarker
                       ? &static_cast<host::SimpleMarkerSymbol&>(marker)
                       : nullptr;
    if (simple != nullptr) {
        auto sampleOf = [](host::MarkerStyle markerStyle) {
            auto sample = std::make_shared<host::SimpleMarkerSymbol>();
            sample->style = markerStyle;
            return sample;
        };
        QComboBox* style =
            styleList<host::MarkerStyle>(kMarkerStyles, simple->style, russian_, sampleOf, group);
        style->setObjectName(QStringLiteral("MarkerStyle"));
        connect(style, &QComboBox::currentIndexChanged, this, [this, simple, style] {
            simple->style = chosenCode<host::MarkerStyle>(*style);
            updatePreview();
        });
        form->addRow(labelText(ChooserMessage::Style, russian_), style);
    }

    auto* size = pointsBox(0.0, kMaxSymbolSize, kSizeStep, marker.size, russian_, group);
    size->setObjectName(QStringLiteral("MarkerSize"));
    connect(size, &QDoubleSpinBox::valueChanged, this, [this, &marker](double points) {
        marker.size = points;
        updatePreview();
    });
    form->addRow(labelText(ChooserMessage::Size, russian_), size);

    if (simple != nullptr) {
        auto* colour = new ColorButton(labelText(ChooserMessage::Colour, russian_), group);
        colour->setObjectName(QStringLiteral("MarkerColor"));
        colour->setColor(marker.color);
        connect(colour, &ColorButton::colorChanged, this, [this, &marker, colour] {
            marker.color = colour->color();
            updatePreview();
        });
        form->addRow(labelText(ChooserMessage::Colour, russian_), colour);
    }
    editors.addWidget(group);
}

void SymbolChooser::updatePreview() {
    if (!copy_) {
        preview_->clear();
        return;
    }
    QImage picture;
    if (copy_->kind() == host::SymbolKind::Text &&
        static_cast<const host::TextSymbol&>(*copy_).previewText.empty()) {
        host::TextSymbol sample = static_cast<const host::TextSymbol&>(*copy_);
        sample.previewText = kSampleText;
        picture = symbolPicture(sample, QSize(kPreviewWidth, kPreviewHeight), kPreviewGap);
    } else {
        picture = symbolPicture(*copy_, QSize(kPreviewWidth, kPreviewHeight), kPreviewGap);
    }
    if (picture.isNull()) {
        preview_->clear();
    } else {
        preview_->setPixmap(QPixmap::fromImage(picture));
    }
}

}  // namespace kartoplot::dialog
