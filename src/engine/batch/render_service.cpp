#include "engine/batch/render_service.h"

#include "engine/formats.h"
#include "engine/io/memory_share.h"
#include "platform/memory_limit.h"
#include "engine/io/metadata.h"
#include "engine/pipeline.h"
#include "engine/run/failure_reason.h"
#include "engine/steps/watermark_font.h"
#include "settings/settings_fields.h"

#include <csignal>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <cstdlib>
#include <limits>
#include <malloc.h>
#include <optional>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

namespace quill {

namespace {

int32_t numberFrom(const std::string& text)
{
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

// Texts go over verbatim: the file's reading rules would trim a watermark text.
void storeField(Settings& settings, const SettingField& field, const std::string& text)
{
    if (auto member = std::get_if<std::string Settings::*>(&field.member))
        settings.*(*member) = text;
    else if (auto real = std::get_if<float Settings::*>(&field.member))
        settings.*(*real) = std::strtof(text.c_str(), nullptr);
    else
        setFieldFromText(settings, field, text);
}

std::string fieldValue(const Settings& settings, const SettingField& field)
{
    if (auto member = std::get_if<std::string Settings::*>(&field.member))
        return settings.*(*member);
    if (auto real = std::get_if<float Settings::*>(&field.member)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(settings.*(*real)));
        return text;
    }
    return fieldText(settings, field);
}

struct RunState {
    Settings settings;
    ConversionJob job;
    FormatTables formats;
    std::optional<WatermarkFont> font;
};

bool readRun(const Message& message, RunState& run, const GuiStarter& startGui)
{
    if (!parseRunMessage(message, run.settings, run.job, run.font))
        return false;
    buildFormatTables(run.formats);
    // Text is drawn with the front end's font only, never one looked up here.
    if (run.font && !(startGui && startGui()))
        run.font.reset();
    return true;
}

FaultHook faultHook = nullptr;

// The batch decides what becomes of the files in flight: Ctrl-C, a TERM to
// the process group (timeout, a desktop logging out) and a hang-up reach every
// process of the group, and a render process leaves only when its batch closes
// the pipe. A batch that dies takes its render processes along (the death
// signal is armed before exec), so a decoder stuck in a hostile file never
// outlives it. A reply nobody reads any more is a write error, after which
// the unclaimed file is removed.
void joinBatchLifetime()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        std::signal(signal, SIG_IGN);
}

// Every file allocates the same few huge buffers. Returned to the system at
// each free, they are faulted in and zeroed page by page again for the next
// file, a third of a decode's time; kept in the heap, the next file reuses
// them. A render process holds its peak between files, which the job count
// already budgets for.
void keepFreedMemory()
{
    ::mallopt(M_MMAP_MAX, 0);
    ::mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
}

// The decoder's OpenMP runtime comes with LibRaw, when LibRaw was built with
// it; looked up rather than linked, so a LibRaw without it costs nothing and
// no second OpenMP runtime enters the process.
void useDecodeThreads(int32_t threads)
{
    using SetThreads = void (*)(int);
    static auto setThreads = reinterpret_cast<SetThreads>(::dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (threads > 0 && setThreads)
        setThreads(threads);
}

// A file whose decode would not fit the share fails before its pixels are
// allocated; anything else that grows past it fails to allocate, and that file
// fails alone. The hard limit leaves room for the program itself and the
// decoder's thread stacks.
void claimMemoryShare()
{
    const char* text = std::getenv(kMemoryShareVariable);
    int64_t share = text ? std::strtoll(text, nullptr, 10) : 0;
    if (share <= 0)
        return;
    setDecodeMemoryShare(share);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's shadow memory is private writable mappings too: a
    // data limit would fail its own bookkeeping, not our decodes.
    return;
#endif
    int64_t threads = std::max(1u, std::thread::hardware_concurrency());
    (void)limitProcessMemory(share + (int64_t{64} << 20) + threads * (int64_t{8} << 20));
}

RenderReply renderOne(RunState& run, const Message& message)
{
    RenderRequest request;
    if (!parseRequest(message, request)) {
        RenderReply reply;
        reply.error = failureText(FailureReason::malformedRequest);
        return reply;
    }
    useDecodeThreads(request.decodeThreads);
    if (faultHook)
        faultHook(request.inputPath);
    return renderFile(request, run.settings, run.job, run.formats, run.font ? &*run.font : nullptr);
}

PreviewReply previewOne(const RunState& run, const Message& message)
{
    PreviewRequest request;
    if (!parsePreviewRequest(message, request)) {
        PreviewReply reply;
        reply.error = "malformed request";
        return reply;
    }
    if (faultHook)
        faultHook(request.inputPath);
    ConversionJob job = run.job;
    job.inputPath = request.inputPath;
    job.relativeSubfolder = request.relativeSubfolder;
    job.counter = request.counter;
    job.randomNumber = request.randomNumber;
    return previewReplyFor(
        renderPreview(job, run.settings, run.formats, run.font ? &*run.font : nullptr, request.options));
}

}  // namespace

bool isRenderServiceStart()
{
    const char* value = std::getenv(kRenderServiceVariable);
    return value && *value;
}

RenderReply renderFile(const RenderRequest& request, const Settings& settings, const ConversionJob& runJob,
                       const FormatTables& formats, const WatermarkFont* font)
{
    RenderReply reply;
    ConversionJob job = runJob;  // automatic depth is resolved per file
    job.inputPath = request.inputPath;
    job.relativeSubfolder = request.relativeSubfolder;
    job.counter = request.counter;
    job.randomNumber = request.randomNumber;
    RenderedImage rendered = renderImage(job, settings, formats, font);
    reply.finalWidth = rendered.finalWidth;
    reply.finalHeight = rendered.finalHeight;
    reply.sourceDepth = rendered.sourceDepth;
    reply.targetDepth = job.targetDepth;
    // Only the folder of this path matters: the batch names the file later.
    std::string placeholder = request.destinationFolder + "render";
    TemporaryOutput temporary;
    if (!saveRenderedImage(rendered, job.formatIdentifier, job.saveFlags, placeholder, temporary, reply.error))
        return reply;
    reply.rendered = true;
    reply.temporaryPath = temporary.release();
    return reply;
}

void setRenderFaultHook(FaultHook hook)
{
    faultHook = hook;
}

int64_t renderMemoryShare(int64_t availableMemory, int jobs)
{
    constexpr int64_t kFloor = int64_t{256} << 20;
    return availableMemory > 0 ? std::max(kFloor, availableMemory / std::max(1, jobs)) : 0;
}

int runRenderService(const GuiStarter& startGui)
{
    int in = -1, out = -1;
    if (std::sscanf(std::getenv(kRenderServiceVariable), "%d,%d", &in, &out) != 2)
        return 1;
    ::unsetenv(kRenderServiceVariable);
    joinBatchLifetime();
    keepFreedMemory();
    claimMemoryShare();
    silenceImageLibraries();
    RunState run;
    auto first = receiveMessage(in);
    if (!first || !readRun(*first, run, startGui))
        return 1;
    while (auto request = receiveMessage(in)) {
        if (!request->empty() && request->front() == "run") {
            if (!readRun(*request, run, startGui))
                return 1;
            continue;
        }
        if (!request->empty() && request->front() == "preview") {
            if (!sendMessage(out, previewReplyMessage(previewOne(run, *request))))
                return 1;
            continue;
        }
        RenderReply reply = renderOne(run, *request);
        if (!sendMessage(out, replyMessage(reply))) {
            if (!reply.temporaryPath.empty())
                ::unlink(reply.temporaryPath.c_str());
            return 1;
        }
    }
    return 0;
}

Message runMessage(const Settings& settings, const ConversionJob& job, const WatermarkFont* font)
{
    Message message{"run"};
    for (const auto& field : settingFields())
        message.push_back(fieldValue(settings, field));
    message.push_back(std::to_string(job.formatIdentifier));
    message.push_back(job.outputExtension);
    message.push_back(std::to_string(job.targetDepth));
    message.push_back(std::to_string(job.automaticDepth));
    message.push_back(std::to_string(job.saveFlags));
    message.push_back(job.inputFolder);
    message.push_back(job.outputFolder);
    WatermarkFont none;
    const WatermarkFont& described = font ? *font : none;
    message.push_back(font ? "font" : "no font");
    message.push_back(described.family);
    message.push_back(std::to_string(described.pointSize));
    message.push_back(std::string{described.bold ? '1' : '0', described.italic ? '1' : '0',
                                  described.underline ? '1' : '0', described.strikeOut ? '1' : '0'});
    return message;
}

bool parseRunMessage(const Message& message, Settings& settings, ConversionJob& job, std::optional<WatermarkFont>& font)
{
    auto fields = settingFields();
    if (message.size() != 1 + fields.size() + 7 + 4 || message[0] != "run")
        return false;
    size_t at = 1;
    for (const auto& field : fields)
        storeField(settings, field, message[at++]);
    job.formatIdentifier = numberFrom(message[at++]);
    job.outputExtension = message[at++];
    job.targetDepth = numberFrom(message[at++]);
    job.automaticDepth = static_cast<uint8_t>(numberFrom(message[at++]));
    job.saveFlags = numberFrom(message[at++]);
    job.inputFolder = message[at++];
    job.outputFolder = message[at++];
    const std::string& flags = message[at + 3];
    if (message[at] != "font" || flags.size() != 4) {
        font.reset();
        return true;
    }
    font =
        WatermarkFont{message[at + 1], numberFrom(message[at + 2]), flags[0] == '1', flags[1] == '1', flags[2] == '1',
                      flags[3] == '1'};
    return true;
}

Message requestMessage(const RenderRequest& request)
{
    return {"file",
            request.inputPath,
            request.relativeSubfolder,
            request.destinationFolder,
            std::to_string(request.counter),
            std::to_string(request.randomNumber),
            std::to_string(request.decodeThreads)};
}

Message replyMessage(const RenderReply& reply)
{
    return {reply.rendered ? "ok" : "fail",
            reply.temporaryPath,
            std::to_string(reply.finalWidth),
            std::to_string(reply.finalHeight),
            std::to_string(reply.sourceDepth),
            std::to_string(reply.targetDepth),
            reply.error};
}

bool parseRequest(const Message& message, RenderRequest& request)
{
    if (message.size() != 7 || message[0] != "file")
        return false;
    request = {
        message[1], message[2], message[3], numberFrom(message[4]), numberFrom(message[5]), numberFrom(message[6])};
    return true;
}

bool parseReply(const Message& message, RenderReply& reply)
{
    if (message.size() != 7 || (message[0] != "ok" && message[0] != "fail"))
        return false;
    reply.rendered = message[0] == "ok";
    reply.temporaryPath = message[1];
    reply.finalWidth = numberFrom(message[2]);
    reply.finalHeight = numberFrom(message[3]);
    reply.sourceDepth = numberFrom(message[4]);
    reply.targetDepth = numberFrom(message[5]);
    reply.error = message[6];
    return !reply.rendered || !reply.temporaryPath.empty();
}

Message previewRequestMessage(const PreviewRequest& request)
{
    const PreviewOptions& options = request.options;
    return {
        "preview",
        request.inputPath,
        request.relativeSubfolder,
        std::to_string(request.counter),
        std::to_string(request.randomNumber),
        std::to_string(options.boxWidth),
        std::to_string(options.boxHeight),
        std::string{options.fullQuality ? '1' : '0', options.asLoaded ? '1' : '0', options.actualPixels ? '1' : '0'}};
}

bool parsePreviewRequest(const Message& message, PreviewRequest& request)
{
    if (message.size() != 8 || message[0] != "preview" || message[7].size() != 3)
        return false;
    request.inputPath = message[1];
    request.relativeSubfolder = message[2];
    request.counter = numberFrom(message[3]);
    request.randomNumber = numberFrom(message[4]);
    // The box bounds the picture sent back, whatever size the caller asks for.
    request.options.boxWidth = std::clamp(numberFrom(message[5]), 16, 2048);
    request.options.boxHeight = std::clamp(numberFrom(message[6]), 16, 2048);
    request.options.fullQuality = message[7][0] == '1';
    request.options.asLoaded = message[7][1] == '1';
    request.options.actualPixels = message[7][2] == '1';
    return true;
}

PreviewReply previewReplyFor(PreviewImage preview)
{
    PreviewReply reply;
    reply.approximate = preview.approximate;
    reply.outputWidth = preview.outputWidth;
    reply.outputHeight = preview.outputHeight;
    reply.targetDepth = preview.targetDepth;
    reply.outputName = std::move(preview.outputName);
    reply.error = std::move(preview.error);
    FIBITMAP* display = preview.display.get();
    if (display == nullptr || FreeImage_GetBPP(display) != 32)
        return reply;
    reply.displayWidth = static_cast<int32_t>(FreeImage_GetWidth(display));
    reply.displayHeight = static_cast<int32_t>(FreeImage_GetHeight(display));
    const size_t rowBytes = size_t(reply.displayWidth) * 4;
    reply.pixels.resize(rowBytes * size_t(reply.displayHeight));
    // FreeImage keeps the bottom row first.
    for (int32_t y = 0; y < reply.displayHeight; ++y)
        std::memcpy(reply.pixels.data() + size_t(y) * rowBytes,
                    FreeImage_GetScanLine(display, reply.displayHeight - 1 - y), rowBytes);
    reply.rendered = true;
    return reply;
}

Message previewReplyMessage(const PreviewReply& reply)
{
    return {reply.rendered ? "ok" : "fail",
            reply.approximate ? "1" : "0",
            std::to_string(reply.outputWidth),
            std::to_string(reply.outputHeight),
            std::to_string(reply.targetDepth),
            reply.outputName,
            reply.error,
            std::to_string(reply.displayWidth),
            std::to_string(reply.displayHeight),
            reply.pixels};
}

bool parsePreviewReply(const Message& message, PreviewReply& reply)
{
    if (message.size() != 10 || (message[0] != "ok" && message[0] != "fail"))
        return false;
    reply.rendered = message[0] == "ok";
    reply.approximate = message[1] == "1";
    reply.outputWidth = numberFrom(message[2]);
    reply.outputHeight = numberFrom(message[3]);
    reply.targetDepth = numberFrom(message[4]);
    reply.outputName = message[5];
    reply.error = message[6];
    reply.displayWidth = numberFrom(message[7]);
    reply.displayHeight = numberFrom(message[8]);
    reply.pixels = message[9];
    // A picture whose bytes do not match its size is no picture.
    if (reply.rendered && (reply.displayWidth <= 0 || reply.displayHeight <= 0 ||
                           reply.pixels.size() != size_t(reply.displayWidth) * size_t(reply.displayHeight) * 4))
        return false;
    return true;
}

}  // namespace quill
