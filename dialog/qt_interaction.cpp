#include "dialog/qt_interaction.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

#include <utility>

#include "dialog/symbol_chooser.h"
#include "render/symbol_painter.h"

namespace kartoplot::dialog {

namespace {

// Separators inside a host pattern list ("*.png;*.bmp") and inside a shown one ("*.png *.bmp").
const QRegularExpression& patternSeparators() {
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    return separators;
}

// The description without a trailing copy of its own patterns, either in brackets
// ("Legend (*.leg)") or bare after a blank ("Layer *.lyr"); blanks around it dropped.
QString withoutShownPatterns(const QString& description, const QStringList& patterns) {
    QStringList escaped;
    for (const QString& pattern : patterns) {
        escaped << QRegularExpression::escape(pattern);
    }
    const QString list = escaped.join(QStringLiteral("[;,\\s]+"));
    const QRegularExpression inBrackets(QStringLiteral("^(.*?)\\s*\\(\\s*") + list +
                                        QStringLiteral("\\s*\\)$"));
    const QRegularExpression bare(QStringLiteral("^(|.*?\\s)") + list + QStringLiteral("$"));
    const QString trimmed = description.trimmed();
    for (const QRegularExpression* shown : {&inBrackets, &bare}) {
        const QRegularExpressionMatch match = shown->match(trimmed);
        if (match.hasMatch()) {
            return match.captured(1).trimmed();
        }
    }
    return trimmed;
}

QMessageBox::StandardButtons qtButtons(host::MessageButtons buttons) {
    switch (buttons) {
        case host::MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case host::MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case host::MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case host::MessageButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case host::MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// The button Escape and the window's close button press.
QMessageBox::StandardButton escapeButton(host::MessageButtons buttons) {
    switch (buttons) {
        case host::MessageButtons::OkCancel:
        case host::MessageButtons::YesNoCancel:
        case host::MessageButtons::RetryCancel:
            return QMessageBox::Cancel;
        case host::MessageButtons::YesNo:
            return QMessageBox::No;
        case host::MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton defaultButton(host::MessageButtons buttons) {
    switch (host::firstAnswer(buttons)) {
        case host::MessageResult::Yes:
            return QMessageBox::Yes;
        case host::MessageResult::Retry:
            return QMessageBox::Retry;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon qtIcon(host::MessageIcon icon) {
    switch (icon) {
        case host::MessageIcon::Information:
            return QMessageBox::Information;
        case host::MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case host::MessageIcon::Question:
            return QMessageBox::Question;
        case host::MessageIcon::Critical:
            return QMessageBox::Critical;
        case host::MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

host::MessageResult hostResult(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Cancel:
            return host::MessageResult::Cancel;
        case QMessageBox::Yes:
            return host::MessageResult::Yes;
        case QMessageBox::No:
            return host::MessageResult::No;
        case QMessageBox::Retry:
            return host::MessageResult::Retry;
        default:
            return host::MessageResult::Ok;
    }
}

// Where a file dialog starts: the file name inside the initial folder.
QString initialPath(const host::FileDialogRequest& request) {
    const QString folder = QString::fromStdString(request.initialFolder);
    const QString fileName = QString::fromStdString(request.fileName);
    if (fileName.isEmpty()) {
        return folder;
    }
    if (folder.isEmpty() || QDir::isAbsolutePath(fileName)) {
        return fileName;
    }
    return QDir(folder).filePath(fileName);
}

std::optional<std::string> chosenPath(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

}  // namespace

QStringList qtFiltersFromHost(const std::string& hostFilter) {
    QStringList entries;
    if (hostFilter.empty()) {
        return entries;
    }
    const QStringList parts = QString::fromStdString(hostFilter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString patternText = i + 1 < parts.size() ? parts[i + 1] : QString();
        QStringList patterns = patternText.split(patternSeparators(), Qt::SkipEmptyParts);
        if (parts[i].trimmed().isEmpty() && patterns.isEmpty()) {
            continue;
        }
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        const QString description = withoutShownPatterns(parts[i], patterns);
        const QString shown = patterns.join(QLatin1Char(' '));
        entries << (description.isEmpty()
                        ? shown
                        : description + QStringLiteral(" (") + shown + QLatin1Char(')'));
    }
    return entries;
}

QString qtFilterFromHost(const std::string& hostFilter) {
    return qtFiltersFromHost(hostFilter).join(QStringLiteral(";;"));
}

QString qtSelectedFilter(const std::string& hostFilter, int filterIndex) {
    const QStringList entries = qtFiltersFromHost(hostFilter);
    if (entries.isEmpty()) {
        return {};
    }
    if (filterIndex < 1 || filterIndex > entries.size()) {
        return entries.front();
    }
    return entries[filterIndex - 1];
}

QColor qtColorFromHost(const host::Color& color) {
    if (color.isNull) {
        return {};
    }
    return QColor(color.red, color.green, color.blue);
}

std::optional<host::Color> hostColorFromQt(const QColor& color) {
    if (!color.isValid()) {
        return std::nullopt;
    }
    const QColor rgb = color.toRgb();
    return host::Color{static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                       static_cast<std::uint8_t>(rgb.blue()), false};
}

std::string hostFontName(const QString& family, const std::string& currentName) {
    if (family.isEmpty() ||
        family.compare(render::fontFamily(currentName), Qt::CaseInsensitive) == 0) {
        return currentName;
    }
    return family.toStdString();
}

QFont qtFontFromHost(const host::Font& font) {
    QFont qt(render::fontFamily(font.name));
    if (font.size > 0) {
        qt.setPointSizeF(font.size);
    }
    qt.setBold(font.bold);
    qt.setItalic(font.italic);
    qt.setUnderline(font.underline);
    qt.setStrikeOut(font.strikethrough);
    return qt;
}

host::Font hostFontFromQt(const QFont& font, const host::Font& current) {
    host::Font chosen;
    chosen.name = hostFontName(font.family(), current.name);
    chosen.size = font.pointSizeF() > 0 ? font.pointSizeF() : current.size;
    chosen.bold = font.bold();
    chosen.italic = font.italic();
    chosen.underline = font.underline();
    chosen.strikethrough = font.strikeOut();
    return chosen;
}

QtInteraction::QtInteraction(QWidget* parent, std::string language)
    : parent_(parent), language_(std::move(language)) {}

host::MessageResult QtInteraction::messageBox(const std::string& text, const std::string& title,
                                              host::MessageButtons buttons,
                                              host::MessageIcon icon) {
    QMessageBox box(qtIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                    qtButtons(buttons), parent_.data());
    box.setDefaultButton(defaultButton(buttons));
    box.setEscapeButton(escapeButton(buttons));
    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    return hostResult(pressed == QMessageBox::NoButton ? escapeButton(buttons) : pressed);
}

std::optional<std::string> QtInteraction::openFile(const host::FileDialogRequest& request) {
    QString filter = qtSelectedFilter(request.filter, request.filterIndex);
    return chosenPath(QFileDialog::getOpenFileName(
        parent_.data(), QString::fromStdString(request.title), initialPath(request),
        qtFilterFromHost(request.filter), &filter));
}

std::optional<std::string> QtInteraction::saveFile(const host::FileDialogRequest& request) {
    QString filter = qtSelectedFilter(request.filter, request.filterIndex);
    const QFileDialog::Options options =
        request.overwritePrompt ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
    return chosenPath(QFileDialog::getSaveFileName(
        parent_.data(), QString::fromStdString(request.title), initialPath(request),
        qtFilterFromHost(request.filter), &filter, options));
}

std::shared_ptr<host::Symbol> QtInteraction::chooseSymbol(
    const std::shared_ptr<host::Symbol>& current) {
    return SymbolChooser::choose(parent_.data(), current, language_);
}

std::optional<host::Color> QtInteraction::chooseColor(const host::Color& current) {
    return hostColorFromQt(QColorDialog::getColor(qtColorFromHost(current), parent_.data()));
}

std::optional<host::Font> QtInteraction::chooseFont(const host::Font& current) {
    bool chosen = false;
    const QFont font = QFontDialog::getFont(&chosen, qtFontFromHost(current), parent_.data());
    if (!chosen) {
        return std::nullopt;
    }
    return hostFontFromQt(font, current);
}

bool QtInteraction::openUrl(const std::string& url) {
    const QUrl link = QUrl::fromUserInput(QString::fromStdString(url).trimmed());
    if (!link.isValid()) {
        return false;
    }
    return QDesktopServices::openUrl(link);
}

}  // namespace kartoplot::dialog
