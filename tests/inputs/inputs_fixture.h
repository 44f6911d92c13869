// Shared setup of the input-list tests: the real format tables, a fresh job
// and list, and small files to queue (the content is never decoded).
#pragma once

#include "app/job.h"
#include "engine/formats.h"
#include "engine/run/progress.h"
#include "inputs/input_list.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quill::test {

class InputsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        buildFormatTables(formats);
        progress.reset();
    }

    /// A non-empty file at `relative` below the temp folder, folders created.
    std::string makeFile(const std::string& relative, const std::string& bytes = "raw")
    {
        const std::string path = temp.file(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFile(path, bytes);
        return path;
    }

    std::string makeFolder(const std::string& relative)
    {
        const std::string path = temp.file(relative);
        std::filesystem::create_directories(path);
        return path;
    }

    std::vector<std::string> queuedPaths() const
    {
        std::vector<std::string> paths;
        for (const InputEntry& entry : inputs.entries)
            paths.push_back(entry.path);
        return paths;
    }

    std::string subfolderOf(const std::string& path) const
    {
        const auto found = inputs.index.find(path);
        return found == inputs.index.end() ? "<not queued>" : inputs.entries[found->second].relativeSubfolder;
    }

    TempFolder temp;
    FormatTables formats;
    ConversionJob job;
    InputList inputs;
    ProgressRecord progress;
};

}  // namespace quill::test
