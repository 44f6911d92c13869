#include "ui/placement.h"

namespace quill {

void recordPlacement(Settings& settings, const WindowPlacement& placement)
{
    if (placement.minimised)
        return;
    if (placement.maximised) {
        settings.isMaximized = 1;
        return;
    }
    settings.isMaximized = 0;
    settings.windowX = placement.x;
    settings.windowY = placement.y;
    settings.windowWidth = placement.width;
    settings.windowHeight = placement.height;
}

}  // namespace quill
