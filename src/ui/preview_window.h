// The preview window: the list's selected file as the current settings will
// convert it. Rendering happens in a render process, as in a conversion, so
// a file that crashes or hangs the decoder only fails its preview; the window
// never waits for it, and a newer selection or setting ends a stale render.
#pragma once

#include "engine/batch/render_processes.h"
#include "engine/batch/render_service.h"
#include "settings/settings.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <thread>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;

namespace quill {

class MainWindow;

class PreviewWindow : public QWidget {
public:
    /// `executable` is started as the render process.
    PreviewWindow(MainWindow& main, std::string executable);
    ~PreviewWindow() override;

    /// Previews with settings the preferences dialog has not stored yet, or
    /// again with the stored ones (nullptr), after the usual short pause.
    void showDraft(const Settings* draft);
    /// Renders again soon: the selection, the settings or the size changed.
    void scheduleRender(int delayMs = 0);

    QLabel* picture() const { return picture_; }
    QLabel* info() const { return info_; }
    QCheckBox* fullQualityBox() const { return fullQuality_; }
    QCheckBox* beforeBox() const { return before_; }
    QCheckBox* actualPixelsBox() const { return actualPixels_; }
    /// The file whose picture is shown; empty while none is.
    const std::string& shownInput() const { return shownInput_; }
    const QImage& shownImage() const { return shownImage_; }
    bool rendering() const { return rendering_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void render();
    void receive(uint64_t generation, const std::optional<Message>& message);
    void present(const PreviewReply& reply, const std::string& input);
    void rememberPlacement();
    void showMessage(const QString& text);
    void endRender(bool kill);
    bool processReady(const Message& run);
    const Settings& effectiveSettings() const;

    MainWindow& main_;
    std::string executable_;
    QLabel* picture_ = nullptr;
    QLabel* info_ = nullptr;
    QCheckBox* fullQuality_ = nullptr;
    QCheckBox* before_ = nullptr;
    QCheckBox* actualPixels_ = nullptr;
    QTimer pause_;
    std::optional<Settings> draft_;
    RenderProcess process_;
    Message processRun_;       // the run message the process holds
    std::thread reader_;       // waits for the render's answer
    uint64_t generation_ = 0;  // which render an answer must belong to
    bool rendering_ = false;
    std::string renderingInput_;
    std::string shownInput_;
    QImage shownImage_;
    QString lastInfo_;
};

/// The Preview command: opens the window beside the main window, or closes it.
void togglePreview(MainWindow& main, const std::string& executable);

/// The open preview window of the main window, or nullptr.
PreviewWindow* openPreview(MainWindow& main);

}  // namespace quill
