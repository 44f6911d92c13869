// The depth each output is written at, and the encoder flags of each format.
#pragma once

#include "app/job.h"
#include "engine/bitmap.h"
#include "engine/formats.h"
#include "settings/settings.h"

#include <cstdint>
#include <string_view>

namespace quill {

/// The flags word handed to the encoder for this output key.
int32_t saveFlagsFor(std::string_view outputKey, const Settings& settings);

/// Converts to the job's target depth (resolving automatic depth from the
/// source depth first, stored in the job); empty when the depth is not one of
/// 1, 4, 8, 16, 24, 32, 48, 96.
Bitmap convertToTargetDepth(Bitmap image, ConversionJob& job, const FormatTables& formats);

}  // namespace quill
