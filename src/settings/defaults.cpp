#include "settings/defaults.h"

#include <type_traits>
#include <variant>

#include "platform/paths.h"
#include "settings/settings_fields.h"

namespace quill {

namespace {

// Where the desktop is too small to centre the window, it opens here.
constexpr int32_t kUncentredEdge = 100;

void assignNumber(Settings& settings, const SettingField& field, int32_t number)
{
    std::visit(
        [&settings, number](auto member) {
            auto& value = settings.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (!std::is_same_v<Value, std::string>)
                value = static_cast<Value>(number);
        },
        field.member);
}

void assignText(Settings& settings, const SettingField& field, const std::string& text)
{
    if (auto member = std::get_if<std::string Settings::*>(&field.member))
        settings.** member = text;
}

std::string firstEntry(const std::vector<std::string>& list)
{
    return list.empty() ? std::string() : list.front();
}

}  // namespace

const std::vector<std::string>& productInputFormats()
{
    static const std::vector<std::string> formats{"raw"};
    return formats;
}

const std::vector<std::string>& productOutputFormats()
{
    static const std::vector<std::string> formats{"tiff"};
    return formats;
}

int32_t centredWindowX(int32_t desktopWidth)
{
    const int32_t width = Settings{}.windowWidth;
    return desktopWidth > width ? (desktopWidth - width) / 2 : kUncentredEdge;
}

int32_t centredWindowY(int32_t desktopHeight)
{
    const int32_t height = Settings{}.windowHeight;
    return desktopHeight > height ? (desktopHeight - height) / 2 : kUncentredEdge;
}

void applyDefaults(Settings& settings, bool commandLine, DesktopSize primaryDesktop)
{
    applyDefaults(settings, commandLine, primaryDesktop, productInputFormats(), productOutputFormats());
}

void applyDefaults(Settings& settings, bool commandLine, DesktopSize primaryDesktop,
                   const std::vector<std::string>& inputFormats, const std::vector<std::string>& outputFormats)
{
    const Settings initial{};
    const int32_t now = localSecondsNow();
    for (const SettingField& field : settingFields()) {
        switch (field.defaultRule) {
        case DefaultRule::Initialiser:
            std::visit(
                [&](auto member) {
                    settings.*member = initial.*member;
                },
                field.member);
            break;
        case DefaultRule::CurrentTime: assignNumber(settings, field, now); break;
        case DefaultRule::CentredX: assignNumber(settings, field, centredWindowX(primaryDesktop.width)); break;
        case DefaultRule::CentredY: assignNumber(settings, field, centredWindowY(primaryDesktop.height)); break;
        case DefaultRule::AspectRatio:
            // A command line resizes to exactly the sizes it is given unless asked to keep proportions.
            assignNumber(settings, field, commandLine ? 0 : 1);
            break;
        case DefaultRule::FirstInputFormat: assignText(settings, field, firstEntry(inputFormats)); break;
        case DefaultRule::FirstOutputFormat: assignText(settings, field, firstEntry(outputFormats)); break;
        }
    }
}

}  // namespace quill
