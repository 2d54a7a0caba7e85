#include "support/corpus.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string corpus_dir()
{
    const char* env = std::getenv("LUMEVA_CORPUS");
    return env && *env ? env : LUMEVA_CORPUS_DIR;
}

std::string corpus_path(const std::string& relative) { return corpus_dir() + "/" + relative; }

std::vector<CorpusEntry> corpus_manifest()
{
    std::vector<CorpusEntry> rows;
    std::ifstream in(corpus_path("MANIFEST.tsv"));
    std::string line;
    if (!std::getline(in, line)) return rows;  // column names
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) f.push_back(cell);
        if (f.size() < 11) continue;
        CorpusEntry e;
        e.path = f[1];
        e.format = f[2];
        e.variant = f[3];
        e.width = std::atoi(f[6].c_str());
        e.height = std::atoi(f[7].c_str());
        e.rgba_sha256 = f[10];
        if (f.size() > 14) e.notes = f[14];
        rows.push_back(e);
    }
    return rows;
}
