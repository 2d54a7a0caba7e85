// Small files the tests write and remove.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A whole file as bytes; empty when it cannot be read.
inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class TempFile {
public:
    explicit TempFile(const std::string& suffix, const std::string& bytes = std::string())
    {
        static int counter = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("lumeva_test_" + std::to_string(++counter) + "_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + suffix))
                    .string();
        write(bytes);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void write(const std::string& bytes) const
    {
        FILE* f = std::fopen(path_.c_str(), "wb");
        if (!f) return;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};
