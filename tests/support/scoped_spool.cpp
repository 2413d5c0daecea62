// The private spool folder of a test, made below the system's folder for temporary files.
#include "tests/support/scoped_spool.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace zntest {

ScopedSpool::ScopedSpool() {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::path temporary = fs::temp_directory_path(code);
    if (code) return;
    std::random_device random;
    // create_directory reports whether it made the folder, so a name another test holds is
    // never shared.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = temporary / ("zni-spool-test-" + std::to_string(random()));
        if (fs::create_directory(folder, code)) {
            m_root = folder.string();
            SetEnvironment("ZNI_SPOOL", m_root);
            return;
        }
    }
}

ScopedSpool::~ScopedSpool() {
    UnsetEnvironment("ZNI_SPOOL");
    std::error_code ignored;
    if (!m_root.empty()) std::filesystem::remove_all(m_root, ignored);
}

}  // namespace zntest
