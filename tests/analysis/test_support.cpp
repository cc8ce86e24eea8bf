#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <process.h>
#define KORVANTA_TEST_PID _getpid()
#else
#include <unistd.h>
#define KORVANTA_TEST_PID getpid()
#endif

namespace fs = std::filesystem;

void PutBigEndian32(Bytes* bytes, size_t offset, uint32_t value)
{
    if (bytes->size() < offset + 4) {
        bytes->resize(offset + 4, 0);
    }
    (*bytes)[offset] = static_cast<uint8_t>(value >> 24);
    (*bytes)[offset + 1] = static_cast<uint8_t>(value >> 16);
    (*bytes)[offset + 2] = static_cast<uint8_t>(value >> 8);
    (*bytes)[offset + 3] = static_cast<uint8_t>(value);
}

void PutText(Bytes* bytes, size_t offset, const std::string& text)
{
    if (bytes->size() < offset + text.size()) {
        bytes->resize(offset + text.size(), 0);
    }
    std::copy(text.begin(), text.end(), bytes->begin() + static_cast<std::ptrdiff_t>(offset));
}

Bytes BlockHeader(uint32_t id, uint32_t extent, uint8_t variant, const std::string& version,
                  const std::string& date)
{
    Bytes h(64, 0);
    PutBigEndian32(&h, 0, id);
    PutBigEndian32(&h, 8, extent);
    h[24] = variant;
    PutText(&h, 32, version.substr(0, 16));
    PutText(&h, 48, date.substr(0, 16));
    return h;
}

Bytes Filler(size_t count, uint8_t seed)
{
    Bytes b(count);
    for (size_t i = 0; i < count; ++i) {
        b[i] = static_cast<uint8_t>(0x40 + ((i * 5 + seed) & 0x3F));
    }
    return b;
}

void WriteFileBytes(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out) << "cannot write " << path;
}

Bytes ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TempFolderTest::SetUp()
{
    static int serial = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("korvanta-test-" + std::to_string(KORVANTA_TEST_PID) + "-" +
               std::to_string(serial++) + "-" + info->name());
    // Parameterised test names hold '/'.
    std::string name = folder_.filename().string();
    std::replace(name.begin(), name.end(), '/', '_');
    folder_ = folder_.parent_path() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    previousCwd_ = fs::current_path();
}

void TempFolderTest::TearDown()
{
    std::error_code ec;
    fs::current_path(previousCwd_, ec);
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(folder_, ec);
}

std::string TempFolderTest::MakeFile(const std::string& name, const Bytes& bytes)
{
    const fs::path p = folder_ / name;
    WriteFileBytes(p, bytes);
    return p.string();
}

std::string TempFolderTest::PathOf(const std::string& name) const
{
    return (folder_ / name).string();
}
