#pragma once
// A fresh folder per test, removed with everything in it afterwards.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

class TempDir {
public:
    TempDir() {
        // A random name that must not exist yet (mkdtemp's rule, also where there is none).
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() /
                ("fumilink-test-" + std::to_string(random()) + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = candidate.string();
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    /// Path of `name` inside the folder.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

    /// Number of entries in the folder (to spot left-over temporary files).
    size_t EntryCount() const {
        auto entries = std::filesystem::directory_iterator(path_);
        return static_cast<size_t>(std::distance(begin(entries), end(entries)));
    }

private:
    std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
