#include "command/cls_kartoplot.h"

#include <QPainter>

#include "errors/error_handling.h"
#include "dialog/main_dialog.h"

namespace kartoplot::command {

namespace {

constexpr const char* kModule = "clsKartoplot";
constexpr int kReportStyle = 4;

std::unique_ptr<dialog::frmKartoplot>& dialogSlot() {
    static std::unique_ptr<dialog::frmKartoplot> shared;
    return shared;
}

}  // namespace

QImage loadBitmapResource(int id) {
    if (id != kCommandBitmapId) {
        return {};
    }
    // Drawn in full colour, then reduced to the 16-colour palette the host's bitmaps use.
    QImage art(32, 32, QImage::Format_RGB32);
    art.fill(QColor(192, 192, 192));
    {
        QPainter p(&art);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(0, 0, 255));
        p.drawRect(12, 10, 5, 16);
        p.setBrush(QColor(255, 0, 0));
        p.drawRect(17, 16, 5, 10);
        p.setBrush(QColor(0, 128, 0));
        p.drawRect(22, 6, 5, 20);
        p.setBrush(Qt::black);
        p.drawEllipse(QPoint(6, 27), 3, 3);
        p.drawLine(8, 25, 12, 22);
        p.drawLine(11, 26, 28, 26);
    }
    QVector<QRgb> palette = {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),
                             qRgb(128, 128, 0),   qRgb(0, 0, 128),   qRgb(128, 0, 128),
                             qRgb(0, 128, 128),   qRgb(192, 192, 192), qRgb(128, 128, 128),
                             qRgb(255, 0, 0),     qRgb(0, 255, 0),   qRgb(255, 255, 0),
                             qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255),
                             qRgb(255, 255, 255)};
    return art.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

dialog::frmKartoplot* sharedDialogIfLoaded() { return dialogSlot().get(); }

dialog::frmKartoplot& sharedDialog() {
    auto& slot = dialogSlot();
    if (!slot) {
        slot = std::make_unique<dialog::frmKartoplot>();
    }
    return *slot;
}

void releaseSharedDialog() {
    auto& slot = dialogSlot();
    if (slot) {
        slot->unload();
        slot.reset();
    }
}

ClsKartoplot::ClsKartoplot() {
    ErrorTrap trap("Class_Initialize", kModule);
    trap.run([&] {
        trap.at(1);
        bitmap_ = loadBitmapResource(kCommandBitmapId);
        if (bitmap_.isNull()) {
            throw HostError(errnum::kFileNotFound, kModule, "Bitmap resource 101 not found");
        }
        trap.at(2);
        Language = "Русский";
    });
}

ClsKartoplot::~ClsKartoplot() {
    setTrailStarted(false);
    m_pApp.reset();
    bitmap_ = QImage();
    releaseSharedDialog();
}

std::string ClsKartoplot::Caption() { return "Plotkarta_" + std::to_string(4) + "(rus)"; }

bool ClsKartoplot::Enabled() {
    if (!m_pApp || !m_pApp->document() || !m_pApp->document()->focusMap()) {
        return false;
    }
    return m_pApp->document()->focusMap()->layerCount() > 0;
}

std::int32_t ClsKartoplot::Bitmap() {
    ErrorTrap trap("ICommand_Bitmap", kModule);
    std::int32_t handle = 0;
    trap.run([&] {
        // The image's cache key stands for the host's bitmap handle.
        handle = static_cast<std::int32_t>(bitmap_.cacheKey() & 0x7FFFFFFF);
    });
    return handle;
}

void ClsKartoplot::OnCreate(std::shared_ptr<host::Application> hook) { m_pApp = std::move(hook); }

void ClsKartoplot::OnClick() {
    ErrorTrap trap("ICommand_OnClick", kModule);
    trap.run([&] {
        trap.at(1);
        if (!m_pApp || !m_pApp->document()) {
            throw HostError(errnum::kObjectMissing, kModule, "No map document is open");
        }
        const auto document = m_pApp->document();
        const auto map = document->focusMap();
        trap.at(2);
        dialog::frmKartoplot& dlg = sharedDialog();
        if (interaction_) {
            dlg.setInteraction(interaction_);
        }
        dlg.setDocument(document);
        dlg.setMap(map);
        dlg.setApplication(m_pApp);
        dlg.setLanguage(Language);
        trap.at(3);
        dlg.showModeless();
        dialogShown_ = true;
        trap.at(4);
        dlg.ChekSelectedOnLayer();
    });
}

}  // namespace kartoplot::command
