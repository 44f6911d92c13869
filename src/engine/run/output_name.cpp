// Output file names from the name template. Tokens are replaced one after the
// other in a fixed order, each wherever it occurs and in any letter case; a
// value that itself holds a later token is expanded again by that token.
#include "engine/run/output_name.h"

#include "platform/paths.h"
#include "text/ascii_case.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <string>

namespace quill {

namespace {

constexpr std::string_view defaultTemplate = "%filename%.%ext%";

enum class LetterCase {
    upper,
    lower,
    title
};

// Names are bytes: only text that is valid UTF-8 goes through Unicode case
// mapping, anything else changes the case of ASCII letters alone.
bool isValidUtf8(std::string_view text)
{
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

std::string asciiCase(std::string_view text, LetterCase letterCase)
{
    if (letterCase == LetterCase::title && !text.empty())
        return asciiUpper(text.substr(0, 1)) + asciiLower(text.substr(1));
    return letterCase == LetterCase::upper ? asciiUpper(text) : asciiLower(text);
}

std::string withCase(std::string_view text, LetterCase letterCase)
{
    if (!isValidUtf8(text))
        return asciiCase(text, letterCase);
    const QString unicode = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QString result;
    switch (letterCase) {
    case LetterCase::upper: result = unicode.toUpper(); break;
    case LetterCase::lower: result = unicode.toLower(); break;
    case LetterCase::title: {
        // The first character may be a surrogate pair.
        const qsizetype first = unicode.size() > 1 && unicode.at(0).isHighSurrogate() ? 2 : 1;
        result = unicode.left(first).toUpper() + unicode.mid(first).toLower();
        break;
    }
    }
    return result.toStdString();
}

// Tokens are ASCII, and ASCII bytes never occur inside a multi-byte UTF-8
// character, so a byte-wise comparison that folds ASCII letters is exact.
char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

size_t findFolded(std::string_view text, std::string_view token, size_t from)
{
    if (token.size() > text.size())
        return std::string_view::npos;
    for (size_t at = from; at + token.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < token.size() && foldAscii(text[at + i]) == token[i])
            ++i;
        if (i == token.size())
            return at;
    }
    return std::string_view::npos;
}

/// Every occurrence of the (lower-case) token replaced by the value, in any case.
std::string expandToken(std::string_view text, std::string_view token, std::string_view value)
{
    std::string result;
    size_t from = 0;
    for (size_t at = findFolded(text, token, 0); at != std::string_view::npos; at = findFolded(text, token, from)) {
        result.append(text.substr(from, at - from));
        result.append(value);
        from = at + token.size();
    }
    result.append(text.substr(from));
    return result;
}

// The file part without its last extension; a file part without a dot is whole.
std::string baseNameOf(const std::string& path)
{
    const std::string filePart = fileNamePart(path);
    const size_t dot = filePart.rfind('.');
    return dot == std::string::npos ? filePart : filePart.substr(0, dot);
}

std::string twoDigits(int value)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02d", value);
    return text.data();
}

// At least five characters, zeros in front. Longer values keep every digit:
// cutting them would give the counter's 100000th file the name of its 10000th
// and overwrite it.
std::string fiveDigits(int32_t value)
{
    std::string text = std::to_string(value);
    if (text.size() < 5)
        text.insert(0, 5 - text.size(), '0');
    return text;
}

struct TokenValue {
    std::string_view token;
    std::string value;
};

// The token table in expansion order. All date tokens of one name come from
// one reading of the clock, so a name never mixes two minutes.
std::array<TokenValue, 19> tokenValues(const ConversionJob& job)
{
    const std::string baseName = baseNameOf(job.inputPath);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {{
        {"%filename%", baseName},
        {"%filename[u]%", withCase(baseName, LetterCase::upper)},
        {"%filename[l]%", withCase(baseName, LetterCase::lower)},
        {"%filename[t]%", withCase(baseName, LetterCase::title)},
        {"%ext%", job.outputExtension},
        {"%ext[u]%", withCase(job.outputExtension, LetterCase::upper)},
        {"%ext[t]%", withCase(job.outputExtension, LetterCase::title)},
        {"%yyyy%", std::to_string(local.tm_year + 1900)},
        {"%mm%", twoDigits(local.tm_mon + 1)},
        {"%dd%", twoDigits(local.tm_mday)},
        {"%hh%", twoDigits(local.tm_hour)},
        {"%ii%", twoDigits(local.tm_min)},
        {"%ss%", twoDigits(local.tm_sec)},
        {"%bpp%", std::to_string(job.targetDepth)},
        {"%width%", std::to_string(job.finalWidth)},
        {"%height%", std::to_string(job.finalHeight)},
        {"%frame%", std::to_string(job.frameNumber)},
        {"%rnd%", fiveDigits(job.randomNumber)},
        {"%n%", fiveDigits(job.counter)},
    }};
}

}  // namespace

std::string outputNameFor(std::string_view nameTemplate, const ConversionJob& job)
{
    // The whole template is lowered, literal text included.
    std::string name = withCase(nameTemplate, LetterCase::lower);
    if (name.empty())
        name = defaultTemplate;
    for (const TokenValue& entry : tokenValues(job))
        name = expandToken(name, entry.token, entry.value);
    return name;
}

bool nameTemplateUsesRandomNumber(std::string_view nameTemplate)
{
    return findFolded(nameTemplate, "%rnd%", 0) != std::string_view::npos;
}

bool nameTemplateNeedsImage(std::string_view nameTemplate, bool automaticDepth)
{
    for (std::string_view token : {"%width%", "%height%", "%bpp%"})
        if (findFolded(nameTemplate, token, 0) != std::string_view::npos && (token != "%bpp%" || automaticDepth))
            return true;
    return false;
}

// Two sets of values that differ in every place a name can show them.
bool nameDependsOnImage(std::string_view nameTemplate, const ConversionJob& job)
{
    ConversionJob one = job, other = job;
    one.finalWidth = one.finalHeight = 1;
    other.finalWidth = other.finalHeight = 2;
    if (job.automaticDepth) {
        one.targetDepth = 1;
        other.targetDepth = 2;
    }
    return outputNameFor(nameTemplate, one) != outputNameFor(nameTemplate, other);
}

bool nameDependsOnRandomNumber(std::string_view nameTemplate, const ConversionJob& job)
{
    ConversionJob one = job, other = job;
    one.randomNumber = 1;
    other.randomNumber = 2;
    return outputNameFor(nameTemplate, one) != outputNameFor(nameTemplate, other);
}

bool showsCounterTokens(std::string_view text)
{
    return findFolded(text, "%n%", 0) != std::string_view::npos ||
           findFolded(text, "%rnd%", 0) != std::string_view::npos;
}

std::string expandWatermarkText(std::string_view text, const ConversionJob& job)
{
    if (std::count(text.begin(), text.end(), '%') < 2)
        return std::string(text);
    // Which tokens apply is decided on the text as written; the replacement
    // runs on the text being built, whose literal parts keep their case.
    const std::string lowered = withCase(text, LetterCase::lower);
    std::string result(text);
    for (const TokenValue& entry : tokenValues(job)) {
        if (lowered.find(entry.token) != std::string::npos)
            result = expandToken(result, entry.token, entry.value);
    }
    return result;
}

}  // namespace quill
