// What a run does with an output that is already there: replaced (the
// default), kept, or replaced only when its input changed after it was
// written. Decided by the file system alone: a stat, never a decode.
#pragma once

#include "app/job.h"
#include "settings/setting_codes.h"
#include "settings/settings.h"

#include <string>

namespace quill {

/// The rule the settings ask for. A template with %rnd% cannot find its
/// earlier outputs again, so it replaces; so does a code no list offers.
ExistingFiles existingFilesRule(const Settings& settings);

/// The rule for one file of the run: a name to which the input's own name
/// brings a random number cannot be found again either.
ExistingFiles existingFilesRuleFor(ExistingFiles runRule, const Settings& settings, const ConversionJob& job);

/// Whether the output at `outputPath` stays as it is instead of being
/// written. Only a whole output counts: a regular file with content (a run's
/// unfinished files live under other names until they are whole).
bool keepsExistingOutput(ExistingFiles rule, const std::string& outputPath, const std::string& inputPath);

}  // namespace quill
