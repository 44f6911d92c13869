#include "ui/preview_window.h"

#include "engine/steps/depth.h"
#include "engine/steps/watermark_font.h"
#include "engine/run/output_settings.h"
#include "engine/run/run_preparation.h"
#include "platform/memory_limit.h"
#include "platform/paths.h"
#include "settings/setting_codes.h"
#include "text/language.h"
#include "ui/input_list_model.h"
#include "ui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPixmap>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <csignal>
#include <thread>

namespace quill {
namespace {

// Changes in the preferences come in bursts (a slider dragged, a number
// typed); the preview follows once they pause.
constexpr int kDraftPauseMs = 150;

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

// The run's fields for the chosen output format, as a conversion sets them.
void setOutputFields(ConversionJob& job, const Settings& settings, const FormatTables& formats, const std::string& key)
{
    PreparedRun run;
    run.outputFolder = job.outputFolder;
    run.outputExtension = key;
    prepareOutputFields(settings, formats, run);
    takeOutputFields(job, run);
}

}  // namespace

PreviewWindow::PreviewWindow(MainWindow& main, std::string executable)
    : QWidget(&main, Qt::Window), main_(main), executable_(std::move(executable))
{
    WindowRecords& records = main.records();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(records.text("Preview", "Title"));
    setMinimumSize(240, 200);

    picture_ = new QLabel(this);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setMinimumSize(160, 120);
    picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    picture_->setAccessibleName(records.text("Preview", "Title"));
    picture_->setFocusPolicy(Qt::StrongFocus);
    info_ = new QLabel(this);
    info_->setWordWrap(true);
    info_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    fullQuality_ = new QCheckBox(records.text("Preview", "Full Quality"), this);
    before_ = new QCheckBox(records.text("Preview", "Before"), this);
    actualPixels_ = new QCheckBox(records.text("Preview", "Actual Pixels"), this);

    auto* toggles = new QHBoxLayout;
    toggles->addWidget(fullQuality_);
    toggles->addWidget(before_);
    toggles->addWidget(actualPixels_);
    toggles->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture_, 1);
    layout->addWidget(info_);
    layout->addLayout(toggles);

    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, [this] {
        render();
    });
    for (QCheckBox* toggle : {fullQuality_, before_, actualPixels_})
        connect(toggle, &QCheckBox::toggled, this, [this] {
            scheduleRender();
        });
    QTreeView* list = main.listView();
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        scheduleRender();
    });
    connect(list->model(), &QAbstractItemModel::rowsRemoved, this, [this] {
        scheduleRender();
    });
    connect(list->model(), &QAbstractItemModel::modelReset, this, [this] {
        scheduleRender();
    });
    connect(main.outputFormatBox(), &QComboBox::currentIndexChanged, this, [this] {
        scheduleRender();
    });

    const Settings& settings = records.settings;
    setGeometry(settings.previewX, settings.previewY, settings.previewWidth, settings.previewHeight);
    showMessage(records.text("Preview", "No File"));
}

PreviewWindow::~PreviewWindow()
{
    endRender(true);
}

void PreviewWindow::showDraft(const Settings* draft)
{
    if (draft)
        draft_ = *draft;
    else
        draft_.reset();
    scheduleRender(kDraftPauseMs);
}

void PreviewWindow::scheduleRender(int delayMs)
{
    pause_.start(delayMs);
}

const Settings& PreviewWindow::effectiveSettings() const
{
    return draft_ ? *draft_ : main_.records().settings;
}

void PreviewWindow::closeEvent(QCloseEvent* event)
{
    // Closed by the user: the next start leaves it closed. The window's own
    // end destroys it without a close, so it opens again next time.
    main_.records().settings.previewOpen = 0;
    endRender(true);
    QWidget::closeEvent(event);
}

void PreviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    rememberPlacement();
    scheduleRender(kDraftPauseMs);
}

void PreviewWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    rememberPlacement();
}

void PreviewWindow::rememberPlacement()
{
    Settings& settings = main_.records().settings;
    const QRect frame = geometry();
    settings.previewX = frame.x();
    settings.previewY = frame.y();
    settings.previewWidth = frame.width();
    settings.previewHeight = frame.height();
}

void PreviewWindow::showMessage(const QString& text)
{
    picture_->clear();
    picture_->setText(text);
    picture_->setAccessibleDescription(text);
    info_->clear();
    shownInput_.clear();
    shownImage_ = QImage();
}

void PreviewWindow::endRender(bool kill)
{
    ++generation_;  // an answer still on its way is stale now
    renderingInput_.clear();
    if (kill && process_.alive()) {
        // The reader leaves at the end of the pipe, before its descriptor
        // is closed (and perhaps reused by the next process).
        ::kill(process_.pid, SIGKILL);
        if (reader_.joinable())
            reader_.join();
        stopRenderProcess(process_, true);
        processRun_.clear();
    }
    if (reader_.joinable())
        reader_.join();
    rendering_ = false;
}

bool PreviewWindow::processReady(const Message& run)
{
    if (process_.alive() && run == processRun_)
        return true;
    if (process_.alive()) {
        if (sendMessage(process_.toChild.get(), run)) {
            processRun_ = run;
            return true;
        }
        stopRenderProcess(process_, true);
    }
    // One core stays with the window, so it keeps answering while a decode runs.
    const int cores = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
    if (!startRenderProcess(process_, executable_, run, cores - 1, renderMemoryShare(availableMemory(), 1)))
        return false;
    processRun_ = run;
    return true;
}

void PreviewWindow::render()
{
    WindowRecords& records = main_.records();
    const QModelIndexList selected = main_.listView()->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        endRender(rendering());
        showMessage(records.text("Preview", "No File"));
        return;
    }
    const int row = std::min_element(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) {
                        return a.row() < b.row();
                    })->row();
    if (row < 0 || static_cast<size_t>(row) >= records.inputs.size())
        return;
    const QueuedFile& entry = records.inputs.entries[static_cast<size_t>(row)];
    // A render still going is for an older choice: its answer would be stale.
    if (rendering())
        endRender(true);
    ++generation_;

    const Settings& settings = effectiveSettings();
    ConversionJob job = records.job;
    const int formatIndex = main_.outputFormatBox()->currentData().toInt();
    const auto& list = records.formats.outputFormatList;
    const std::string key = formatIndex >= 0 && static_cast<size_t>(formatIndex) < list.size()
                                ? list[static_cast<size_t>(formatIndex)]
                                : (list.empty() ? std::string("tiff") : list.front());
    setOutputFields(job, settings, records.formats, key);
    std::optional<WatermarkFont> font;
    if (is(settings.doWatermark, WatermarkType::Text))
        font = loadWatermarkFont(settings);

    PreviewRequest request;
    request.inputPath = entry.path;
    request.relativeSubfolder = entry.relativeSubfolder;
    // The numbers it gets when every file before it converts.
    request.counter = job.counter + row;
    request.randomNumber = job.randomNumber;
    const qreal ratio = devicePixelRatioF();
    request.options.boxWidth = std::max(16, static_cast<int>(picture_->width() * ratio));
    request.options.boxHeight = std::max(16, static_cast<int>(picture_->height() * ratio));
    request.options.fullQuality = fullQuality_->isChecked();
    request.options.asLoaded = before_->isChecked();
    request.options.actualPixels = actualPixels_->isChecked();

    const Message run = runMessage(settings, job, font ? &*font : nullptr);
    if (!processReady(run) || !sendMessage(process_.toChild.get(), previewRequestMessage(request))) {
        endRender(true);
        showMessage(
            fromUtf8(formatText(lookupText(records.language, "Preview", "Failed"), "no render process could start")));
        return;
    }
    renderingInput_ = entry.path;
    rendering_ = true;
    // The answer is read beside the event loop: a large picture takes a
    // moment to come through the pipe, and the window must not wait for it.
    const int fd = process_.fromChild.get();
    const uint64_t generation = ++generation_;
    reader_ = std::thread([this, fd, generation] {
        std::optional<Message> message = receiveMessage(fd);
        QMetaObject::invokeMethod(
            this,
            [this, generation, message = std::move(message)] {
                receive(generation, message);
            },
            Qt::QueuedConnection);
    });
    info_->setText(records.text("Preview", "Rendering"));
}

void PreviewWindow::receive(uint64_t generation, const std::optional<Message>& message)
{
    if (generation != generation_)
        return;  // for a choice made before the latest one
    if (reader_.joinable())
        reader_.join();
    rendering_ = false;
    const std::string input = renderingInput_;
    renderingInput_.clear();
    PreviewReply reply;
    if (!message || !parsePreviewReply(*message, reply)) {
        // The decoder died on this file (or answered nonsense): only the preview fails.
        stopRenderProcess(process_, true);
        processRun_.clear();
        reply = {};
        reply.error = "the decoder stopped on this file";
    }
    present(reply, input);
    if (reply.rendered)
        shownInput_ = input;
}

void PreviewWindow::present(const PreviewReply& reply, const std::string& input)
{
    WindowRecords& records = main_.records();
    if (!reply.rendered) {
        showMessage(fromUtf8(formatText(lookupText(records.language, "Preview", "Failed"), reply.error)));
        return;
    }
    shownImage_ = QImage(reinterpret_cast<const uchar*>(reply.pixels.data()), reply.displayWidth, reply.displayHeight,
                         reply.displayWidth * 4, QImage::Format_ARGB32)
                      .copy();
    QPixmap pixmap = QPixmap::fromImage(shownImage_);
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    picture_->setPixmap(pixmap);
    const std::string quality = lookupText(records.language, "Preview", reply.approximate ? "Approximate" : "Exact");
    const std::string size = std::to_string(reply.outputWidth) + " x " + std::to_string(reply.outputHeight);
    const std::string line =
        before_->isChecked()
            ? formatText(lookupText(records.language, "Preview", "Loaded"), fileNamePart(input), size, quality)
            : formatText(lookupText(records.language, "Preview", "Info"), reply.outputName, size,
                         std::to_string(reply.targetDepth), quality);
    info_->setText(fromUtf8(line));
    picture_->setAccessibleDescription(fromUtf8(line));
}

void togglePreview(MainWindow& main, const std::string& executable)
{
    if (PreviewWindow* open = openPreview(main)) {
        open->close();
        return;
    }
    auto* preview = new PreviewWindow(main, executable);
    main.records().settings.previewOpen = 1;
    preview->show();
    preview->scheduleRender();
}

PreviewWindow* openPreview(MainWindow& main)
{
    // Found by its C++ type (it declares no meta-object of its own); a closed
    // window lingers until the event loop deletes it.
    for (QObject* child : main.children())
        if (auto* window = dynamic_cast<PreviewWindow*>(child); window != nullptr && window->isVisible())
            return window;
    return nullptr;
}

}  // namespace quill
