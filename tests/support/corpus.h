// The real picture files beside the project (read-only) and their manifest.
#pragma once

#include <string>
#include <vector>

struct CorpusEntry {
    std::string path;  // relative to the corpus folder
    std::string format;
    std::string variant;
    int width = 0;
    int height = 0;
    std::string rgba_sha256;  // empty where the manifest gives none
    std::string notes;
};

std::string corpus_dir();
std::string corpus_path(const std::string& relative);
// Empty when the corpus is not there.
std::vector<CorpusEntry> corpus_manifest();
