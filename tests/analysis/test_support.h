// Shared by the analysis and fault tests: a fresh folder per test, files of
// given bytes, and small images built field by field.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

typedef std::vector<uint8_t> Bytes;

void PutBigEndian32(Bytes* bytes, size_t offset, uint32_t value);
void PutText(Bytes* bytes, size_t offset, const std::string& text);

// A 64-byte block header: id, extent, variant byte, version and date texts.
Bytes BlockHeader(uint32_t id, uint32_t extent, uint8_t variant = 0, const std::string& version = "",
                  const std::string& date = "");

// `count` bytes of a pattern that holds no identifier word at any offset.
Bytes Filler(size_t count, uint8_t seed = 0);

void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::filesystem::path& path);

// Names of the entries of a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

// Each test runs in a folder of its own, removed afterwards; the current
// directory is restored.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `bytes` to `name` inside the folder and returns its path as text.
    std::string MakeFile(const std::string& name, const Bytes& bytes);
    std::string PathOf(const std::string& name) const;

    std::filesystem::path folder_;
    std::filesystem::path previousCwd_;
};
