#include "tests/support/scratch_directory.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include <gtest/gtest.h>

namespace tqm::test {

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tqm-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    } else {
        ADD_FAILURE() << "cannot create a scratch directory from " << pattern;
    }
}

ScratchDirectory::~ScratchDirectory() {
    if (m_path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace tqm::test
