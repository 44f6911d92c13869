// Rendering in helper processes. A batch hands each file to a render process
// of the same executable: the process decodes, applies every step and writes
// the result to a temporary file beside the output, and the batch names and
// commits the outputs in queue order. A decoder that crashes or hangs then
// costs one file, never the batch.
#pragma once

#include "app/job.h"
#include "engine/formats.h"
#include "engine/preview.h"
#include "engine/steps/watermark_font.h"
#include "platform/channel.h"
#include "settings/settings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quill {

/// Environment variable that turns a start of the executable into a render
/// process; its value is "<read fd>,<write fd>" of the two pipes.
inline constexpr const char* kRenderServiceVariable = "QUILLMERE_RENDER_SERVICE";

/// Environment variable with the decode memory share of a render process, in bytes.
inline constexpr const char* kMemoryShareVariable = "QUILLMERE_MEMORY_SHARE";

/// Each render process's share of the memory free now: an equal part per
/// job, never below 256 MiB (a camera file needs that much to decode at all).
int64_t renderMemoryShare(int64_t availableMemory, int jobs);

/// Called with each input path before it is rendered. Only the test build
/// of the program installs one (to crash or hang on chosen files); the
/// shipped program has none.
using FaultHook = void (*)(const std::string& inputPath);
void setRenderFaultHook(FaultHook hook);

/// True when this process was started as a render process.
bool isRenderServiceStart();

/// Starts the GUI layer that drawing text needs; true when it exists.
using GuiStarter = std::function<bool()>;

/// Serves render requests until the batch closes the pipe; the process's exit
/// code. `startGui` is called when the run draws a text watermark.
int runRenderService(const GuiStarter& startGui);

/// What a render process needs to know of the run, sent once after it starts:
/// the settings, the job's fields for the whole run and the watermark font the
/// front end loaded (none: a text watermark is left out, as in this process).
Message runMessage(const Settings& settings, const ConversionJob& job, const WatermarkFont* font = nullptr);
bool parseRunMessage(const Message& message, Settings& settings, ConversionJob& job,
                     std::optional<WatermarkFont>& font);

/// One file to render: the values the output name tokens of a watermark text
/// may show are the ones the file will have if every file before it succeeds.
struct RenderRequest {
    std::string inputPath;
    std::string relativeSubfolder;
    std::string destinationFolder;  // where the temporary file goes
    int32_t counter = 0;
    int32_t randomNumber = 0;
    int32_t decodeThreads = 0;  // OpenMP threads for this decode; 0 keeps the process's own
};
Message requestMessage(const RenderRequest& request);
bool parseRequest(const Message& message, RenderRequest& request);

/// The answer for one file.
struct RenderReply {
    bool rendered = false;
    std::string temporaryPath;  // a complete file, metadata included
    int32_t finalWidth = 0;
    int32_t finalHeight = 0;
    int32_t sourceDepth = 0;
    int32_t targetDepth = 0;
    std::string error;
};
Message replyMessage(const RenderReply& reply);

/// Renders one file into a temporary file in its destination folder, with the
/// run's settings and job fields; the work a render process does per request.
RenderReply renderFile(const RenderRequest& request, const Settings& settings, const ConversionJob& runJob,
                       const FormatTables& formats, const WatermarkFont* font);
bool parseReply(const Message& message, RenderReply& reply);

/// One file to preview with the run's settings (a new run message may come
/// before each preview: the settings may change between previews).
struct PreviewRequest {
    std::string inputPath;
    std::string relativeSubfolder;
    int32_t counter = 0;
    int32_t randomNumber = 0;
    PreviewOptions options;
};
Message previewRequestMessage(const PreviewRequest& request);
bool parsePreviewRequest(const Message& message, PreviewRequest& request);

/// The preview's picture travels as its 32-bit pixels, rows top to bottom.
struct PreviewReply {
    bool rendered = false;
    bool approximate = false;
    int32_t outputWidth = 0;
    int32_t outputHeight = 0;
    int32_t targetDepth = 0;
    std::string outputName;
    std::string error;
    int32_t displayWidth = 0;
    int32_t displayHeight = 0;
    std::string pixels;  // B, G, R, A bytes, displayWidth * 4 a row
};
PreviewReply previewReplyFor(PreviewImage preview);
Message previewReplyMessage(const PreviewReply& reply);
bool parsePreviewReply(const Message& message, PreviewReply& reply);

}  // namespace quill
